// libFuzzer target for the reply collector: arbitrary bytes cut at arbitrary chunk boundaries,
// under every completion rule, both cleanings, with and without an expected echo, and with a small
// size limit so the cut-off is reached too. Checks: no crash, the reply never grows past the limit,
// the words joined with blanks give back the cleaned text, the cleaned text is trimmed and holds
// no prompt, the completion seen chunk by chunk agrees with the whole text, and the serial text
// does not depend on where the chunks were cut. Built and run by run-fuzz.sh with clang:
// -fsanitize=fuzzer,address,undefined.
//
// Input: byte 0 chooses the rules (bits 0-1 completion, bit 2 cleaning, bit 3 echo dropping, bit
// 4 a two-character prompt), byte 1 the limit, byte 2 the echo's length, then the echo, then
// chunks, each a length byte followed by that many bytes (a short last chunk takes what is left).

#include "replyreader.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void fail(const char* what)
{
    std::fprintf(stderr, "fuzz_replyreader: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    const QByteArray input(reinterpret_cast<const char*>(data), int(size));
    const uint8_t flags = data[0];

    ReplyRules rules;
    switch (flags & 3) {
    case 0:
        rules.completion = ReplyRules::Completion::ContainsPrompt;
        break;
    case 1:
        rules.completion = ReplyRules::Completion::EndsWithPrompt;
        break;
    default:
        rules.completion = ReplyRules::Completion::Quiet;
        rules.quietMs = 10;
        break;
    }
    rules.cleaning = (flags & 4) ? ReplyRules::Cleaning::TcpChunks : ReplyRules::Cleaning::Serial;
    rules.dropEcho = (flags & 8) != 0;
    if (flags & 16)
        rules.prompt = QByteArrayLiteral("]>");
    rules.limit = 1 + data[1] * 8;

    int pos = 3;
    const int echoSize = qMin<int>(data[2] % 32, int(size) - pos);
    const QByteArray echo = input.mid(pos, echoSize);
    pos += echoSize;

    ReplyCollector collector(rules);
    collector.reset(echo);
    QByteArray all;
    qint64 now = 0;
    while (pos < int(size)) {
        const int n = qMin<int>(uint8_t(input.at(pos)), int(size) - pos - 1);
        const QByteArray chunk = input.mid(pos + 1, n);
        pos += 1 + n;
        all += chunk;
        now += 3;
        collector.feed(chunk, now);

        const QString raw = collector.rawText();
        if (raw.size() > rules.limit)
            fail("the reply grew past its limit");
        if (collector.isTooLarge() && raw.size() != rules.limit)
            fail("a reply cut at the limit must fill it");
        // The completion seen chunk by chunk must be what the whole text so far says.
        const QString prompt = QString::fromLatin1(rules.prompt);
        if (!collector.isTooLarge() && rules.completion != ReplyRules::Completion::Quiet) {
            const bool expected = rules.completion == ReplyRules::Completion::ContainsPrompt
                ? raw.contains(prompt)
                : raw.trimmed().size() >= 2 && raw.trimmed().endsWith(prompt);
            if (collector.isComplete(now) != expected)
                fail("completion differs from the text received");
        }
    }
    if (rules.completion == ReplyRules::Completion::Quiet
        && collector.isComplete(now + rules.quietMs) != (collector.hasData() && !collector.isTooLarge()))
        fail("a quiet period must end a reply that started");

    const QString text = collector.text();
    const QStringList words = collector.words();
    if (words.join(QLatin1Char(' ')) != text)
        fail("the words do not give back the text");
    if (text != text.trimmed())
        fail("the cleaned text is not trimmed");
    if (text.contains(QString::fromLatin1(rules.prompt)))
        fail("the cleaned text still holds a prompt");
    if (text.size() > 2 * rules.limit + 1)
        fail("the cleaned text grew past its bound");

    // Serial cleaning does not care where the bytes were cut.
    if (rules.cleaning == ReplyRules::Cleaning::Serial) {
        ReplyCollector whole(rules);
        whole.reset(echo);
        whole.feed(all, 1);
        if (whole.text() != text || whole.rawText() != collector.rawText()
            || whole.isTooLarge() != collector.isTooLarge())
            fail("the serial reply depends on its chunk boundaries");
    }
    return 0;
}
