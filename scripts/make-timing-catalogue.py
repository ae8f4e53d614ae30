#!/usr/bin/env python3
"""Writes data/timings.xml: every VESA DMT, every CTA-861 VIC (with the HDMI VICs of the HDMI
vendor-specific block) and the established timings that are not DMTs, with the values that
edid-decode reports for them, so the catalogue agrees with the standards.

Usage: scripts/make-timing-catalogue.py > data/timings.xml
"""
import re
import subprocess
import tempfile
from xml.sax.saxutils import escape

HEAD = re.compile(r'^(?P<label>.*?):\s+(?P<w>\d+)x(?P<h>\d+)(?P<i>i?)\s+(?P<hz>[\d.]+) Hz\s+(?P<ar>\d+:\d+)\s+'
                  r'(?P<khz>[\d.]+) kHz\s+(?P<mhz>[\d.]+) MHz(?P<rest>.*)$')
HLINE = re.compile(r'Hfront\s+(\d+) Hsync\s+(\d+) Hback\s+(\d+) Hpol ([PN])(?: Hborder (\d+))?')
VLINE = re.compile(r'Vfront\s+(\d+) Vsync\s+(\d+) Vback\s+(\d+) Vpol ([PN])(?: Vborder (\d+))?')


def run(*args):
    return subprocess.run(['edid-decode', *args], check=True, capture_output=True, text=True).stdout


def parse(text):
    """Yields one dict per timing of edid-decode's long output."""
    lines = text.splitlines()
    for n, line in enumerate(lines):
        m = HEAD.match(line.strip())
        if not m or n + 2 >= len(lines):
            continue
        h = HLINE.search(lines[n + 1])
        v = VLINE.search(lines[n + 2])
        if not h or not v:
            continue
        t = dict(label=m['label'].strip(), w=int(m['w']), h=int(m['h']), interlaced=bool(m['i']), hz=float(m['hz']),
                 ar=m['ar'], mhz=float(m['mhz']), rb='(RB' in m['rest'],
                 hfront=int(h[1]), hsync=int(h[2]), hback=int(h[3]), hpol=h[4] == 'P', hborder=int(h[5] or 0),
                 vfront=int(v[1]), vsync=int(v[2]), vback=int(v[3]), vpol=v[4] == 'P', vborder=int(v[5] or 0))
        yield t


def entry(kind, name, t, vic=0, hdmi_vic=0, dmt=None):
    field_lines = t['h'] // 2 if t['interlaced'] else t['h']
    hblank = t['hfront'] + t['hsync'] + t['hback']
    vblank = t['vfront'] + t['vsync'] + t['vback']
    htotal = t['w'] + 2 * t['hborder'] + hblank
    vfield = field_lines + 2 * t['vborder'] + vblank
    vtotal = 2 * vfield + 1 if t['interlaced'] else vfield
    ha, va = t['ar'].split(':')
    children = [('type', kind), ('name', name)]
    if dmt:
        children.append(('dmt', dmt))
    if vic:
        children.append(('vic', vic))
    if hdmi_vic:
        children.append(('hdmiVic', hdmi_vic))
    children += [
        ('hActive', t['w']), ('vActive', field_lines), ('ip', 'interlaced' if t['interlaced'] else 'progressive'),
        ('hAspect', ha), ('vAspect', va),
        ('hTotal', htotal), ('hBlank', hblank), ('hFront', t['hfront']), ('hSync', t['hsync']), ('hBack', t['hback']),
        ('hPol', 'positive' if t['hpol'] else 'negative'),
        ('vTotal', vtotal), ('vBlank', vblank), ('vFront', t['vfront']), ('vSync', t['vsync']), ('vBack', t['vback']),
        ('vPol', 'positive' if t['vpol'] else 'negative'),
        ('hFreq', '%.6g' % (t['mhz'] * 1000.0 / htotal)), ('pixelFreq', '%.6g' % t['mhz']),
        ('fieldRate', round(t['hz'])),
    ]
    if t['hborder'] or t['vborder']:
        children += [('hBorder', t['hborder']), ('vBorder', t['vborder'])]
    body = ''.join('  <%s>%s</%s>\n' % (k, escape(str(val)), k) for k, val in children)
    return ' <timing>\n' + body + ' </timing>\n'


def resolution(t):
    return '%dx%d%s' % (t['w'], t['h'], 'i' if t['interlaced'] else 'p')


def established_extras():
    """The established timings that have no DMT id, as edid-decode reports them."""
    edid = bytearray(128)
    edid[0:8] = b'\x00\xff\xff\xff\xff\xff\xff\x00'
    edid[18], edid[19] = 1, 4
    edid[35] = 0x80 | 0x40 | 0x10  # 720x400@70, 720x400@88, 640x480@67
    edid[36] = 0x20                # 832x624@75
    edid[37] = 0x80                # 1152x870@75
    for i in range(38, 54):
        edid[i] = 1
    edid[127] = (-sum(edid[:127])) & 0xff
    with tempfile.NamedTemporaryFile(suffix='.bin') as f:
        f.write(edid)
        f.flush()
        out = subprocess.run(['edid-decode', '-L', f.name], capture_output=True, text=True).stdout
    return [t for t in parse(out) if not t['label'].startswith('DMT')]


def unique(name, t, used):
    """Two entries of the same nominal rate (60 and 59.94 Hz) are told apart by their exact rate."""
    if name in used:
        name += ' (%.3f Hz)' % t['hz']
    used.add(name)
    return name


def main():
    used = set()
    out = ['<?xml version="1.0" encoding="UTF-8"?>\n', '<!DOCTYPE timings>\n', '<timings>\n']
    for t in parse(run('--list-dmts', '-L')):
        dmt = t['label'].split()[1]
        name = '%s @ %dHz%s' % (resolution(t), round(t['hz']), ' Red Blank' if t['rb'] else '')
        out.append(entry('VESA', unique(name, t, used), t, dmt=dmt))
    for t in established_extras():
        out.append(entry('VESA', '%s @ %dHz' % (resolution(t), round(t['hz'])), t))
    hdmi = {}
    for t in parse(run('--list-hdmi-vics', '-L')):
        hdmi[(t['w'], t['h'], t['hz'], t['mhz'])] = int(t['label'].split()[2])
    for t in parse(run('--list-vics', '-L')):
        vic = int(t['label'].split()[1])
        hdmi_vic = hdmi.get((t['w'], t['h'], t['hz'], t['mhz']), 0) if t['ar'] != '64:27' else 0
        name = 'VIC %d %s @ %dHz %s' % (vic, resolution(t), round(t['hz']), t['ar'])
        out.append(entry('CEA', unique(name, t, used), t, vic=vic, hdmi_vic=hdmi_vic))
    out.append('</timings>\n')
    print(''.join(out), end='')


if __name__ == '__main__':
    main()
