#include "pagerender.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHash>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QStyle>
#include <QStyleOption>
#include <QTabBar>
#include <QTableView>
#include <QTextDocument>
#include <QToolButton>
#include <QTreeView>
#include <QtMath>

namespace {

QString rectText(const QRect& r)
{
    return QStringLiteral("(%1,%2 %3x%4)").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

QString sizeText(const QSize& s)
{
    return QStringLiteral("%1x%2").arg(s.width()).arg(s.height());
}

// A caption as the user reads it, short enough for a message.
QString readable(const QString& text)
{
    QString plain = text;
    if (Qt::mightBeRichText(text)) {
        QTextDocument doc;
        doc.setHtml(text);
        plain = doc.toPlainText();
    }
    plain = plain.simplified();
    return plain.size() > 40 ? plain.left(37) + QStringLiteral("...") : plain;
}

QString captionOf(const QWidget* w)
{
    if (auto* l = qobject_cast<const QLabel*>(w))
        return l->text();
    if (auto* b = qobject_cast<const QAbstractButton*>(w))
        return b->text();
    if (auto* g = qobject_cast<const QGroupBox*>(w))
        return g->title();
    return QString();
}

// A widget by its object name; an unnamed one by its class and caption.
QString nameOf(const QWidget* w)
{
    if (!w->objectName().isEmpty())
        return w->objectName();
    QString name = QString::fromLatin1(w->metaObject()->className());
    const QString caption = captionOf(w);
    if (!caption.isEmpty())
        name += QStringLiteral(" \"%1\"").arg(readable(caption));
    return name;
}

QString described(const QWidget* w)
{
    return nameOf(w) + QLatin1Char(' ') + rectText(w->geometry());
}

// Where a widget draws in its parent. That is its rectangle, except for a separator line: it is
// drawn across the middle of its (usually much larger) box, the rest of which stays empty.
QRect drawnRect(const QWidget* w)
{
    const auto* line = qobject_cast<const QFrame*>(w);
    if (!line || (line->frameShape() != QFrame::HLine && line->frameShape() != QFrame::VLine))
        return w->geometry();
    const int thickness = 2 * line->lineWidth() + line->midLineWidth();
    const QRect r = w->geometry();
    if (line->frameShape() == QFrame::HLine)
        return QRect(r.x(), r.y() + r.height() / 2 - thickness / 2, r.width(), thickness);
    return QRect(r.x() + r.width() / 2 - thickness / 2, r.y(), thickness, r.height());
}

// An empty label without a frame or background shows nothing that could run into anything.
bool showsNothing(QWidget* w)
{
    auto* label = qobject_cast<QLabel*>(w);
    if (!label || !label->text().isEmpty() || !label->pixmap(Qt::ReturnByValue).isNull() || label->movie())
        return false;
    QImage image(label->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    label->render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 0)
                return false;
    return true;
}

// Parts that Qt widgets make and place themselves (a tab widget's stack and tab bar, a scroll
// area's viewport): not the form's to place.
bool internal(const QWidget* w)
{
    return w->objectName().startsWith(QLatin1String("qt_"));
}

// Controls whose children are their own working parts, not widgets of the page.
bool closedControl(const QWidget* w)
{
    return qobject_cast<const QComboBox*>(w) || qobject_cast<const QAbstractSpinBox*>(w)
        || qobject_cast<const QLineEdit*>(w) || qobject_cast<const QTabBar*>(w)
        || (qobject_cast<const QAbstractScrollArea*>(w) && !qobject_cast<const QScrollArea*>(w));
}

QStyleOptionButton pushButtonOption(const QPushButton* b)
{
    QStyleOptionButton opt;
    opt.initFrom(b);
    opt.features = QStyleOptionButton::None;
    if (b->isFlat())
        opt.features |= QStyleOptionButton::Flat;
    if (b->menu())
        opt.features |= QStyleOptionButton::HasMenu;
    if (b->autoDefault())
        opt.features |= QStyleOptionButton::AutoDefaultButton;
    if (b->isDefault())
        opt.features |= QStyleOptionButton::DefaultButton;
    if (b->isDown())
        opt.state |= QStyle::State_Sunken;
    if (b->isChecked())
        opt.state |= QStyle::State_On;
    if (!b->isFlat() && !b->isDown())
        opt.state |= QStyle::State_Raised;
    opt.text = b->text();
    opt.icon = b->icon();
    opt.iconSize = b->iconSize();
    return opt;
}

QImage drawnButton(QPushButton* b, const QStyleOptionButton& opt)
{
    QImage image(b->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setFont(b->font());
    b->style()->drawControl(QStyle::CE_PushButton, &opt, &p, b);
    return image;
}

// First and last column of `area` where the two images differ; (-1, -1) when they agree.
QPair<int, int> differingColumns(const QImage& a, const QImage& b, const QRect& area)
{
    QPair<int, int> span(-1, -1);
    for (int x = area.left(); x <= area.right(); ++x) {
        for (int y = area.top(); y <= area.bottom(); ++y) {
            if (a.pixel(x, y) != b.pixel(x, y)) {
                if (span.first < 0)
                    span.first = x;
                span.second = x;
                break;
            }
        }
    }
    return span;
}

// First and last column of `area` where something other than the plain background is drawn
// (per row, the colour most of the row has); (-1, -1) when nothing is. Only the middle half of
// the rows is looked at: the corners of a rounded border may reach into the top and bottom rows.
QPair<int, int> drawnColumns(const QImage& image, const QRect& whole)
{
    const QRect area = whole.adjusted(0, whole.height() / 4, 0, -whole.height() / 4);
    QImage background(image.size(), image.format());
    for (int y = area.top(); y <= area.bottom(); ++y) {
        QHash<QRgb, int> counts;
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[image.pixel(x, y)];
        QRgb common = 0;
        int most = -1;
        for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
            if (it.value() > most) {
                most = it.value();
                common = it.key();
            }
        }
        for (int x = area.left(); x <= area.right(); ++x)
            background.setPixel(x, y, common);
    }
    return differingColumns(image, background, area);
}

class Checker
{
public:
    Checker(const RenderExceptions& exceptions, RenderChecks checks)
        : ex(exceptions)
        , checks(checks)
    {
    }

    QStringList faults;

    void check(QWidget* w)
    {
        if (checks & CaptionsFit)
            checkCaption(w);
        visit(w);
    }

private:
    const RenderExceptions& ex;
    const RenderChecks checks;

    void fault(const QWidget* w, const QString& text, const QSize& needed, const QSize& room,
               const QString& note = QString())
    {
        faults << QStringLiteral("%1: \"%2\" needs %3 px, has %4%5")
                      .arg(described(w), readable(text), sizeText(needed), sizeText(room), note);
    }

    static bool fits(const QSize& needed, const QSize& room)
    {
        return needed.width() <= room.width() && needed.height() <= room.height();
    }

    // A backdrop lies behind the siblings it holds whole; one that cuts across a sibling is no
    // backdrop there.
    bool allowedOverlap(const QWidget* a, const QWidget* b) const
    {
        const QString na = a->objectName(), nb = b->objectName();
        if (ex.backdrops.contains(na) && drawnRect(a).contains(drawnRect(b)))
            return true;
        if (ex.backdrops.contains(nb) && drawnRect(b).contains(drawnRect(a)))
            return true;
        for (const auto& pair : ex.overlaps)
            if ((pair.first == na && pair.second == nb) || (pair.first == nb && pair.second == na))
                return true;
        return false;
    }

    void visit(QWidget* parent)
    {
        if (auto* area = qobject_cast<QScrollArea*>(parent)) {
            // the contents scroll: they may be larger than the viewport
            QWidget* contents = area->widget();
            if (contents && contents->isVisible() && !ex.skipped.contains(contents->objectName()))
                check(contents);
            return;
        }
        if (closedControl(parent))
            return;
        QList<QWidget*> kids;
        for (QObject* o : parent->children()) {
            auto* w = qobject_cast<QWidget*>(o);
            if (!w || w->isWindow() || !w->isVisible() || ex.skipped.contains(w->objectName()))
                continue;
            kids << w;
        }
        for (QWidget* w : qAsConst(kids)) {
            if ((checks & InsideParents) && !internal(w) && !ex.outside.contains(w->objectName())
                && !parent->rect().contains(drawnRect(w)) && !showsNothing(w))
                faults << QStringLiteral("%1 reaches out of %2").arg(described(w), nameOf(parent) + QLatin1Char(' ')
                                                                                         + rectText(parent->rect()));
            check(w);
        }
        if (!(checks & NoOverlaps))
            return;
        QList<QWidget*> shown;
        for (QWidget* w : qAsConst(kids))
            if (!internal(w) && !showsNothing(w))
                shown << w;
        for (int i = 0; i < shown.size(); ++i) {
            for (int j = i + 1; j < shown.size(); ++j) {
                if (!drawnRect(shown[i]).intersects(drawnRect(shown[j])))
                    continue;
                if (!allowedOverlap(shown[i], shown[j]))
                    faults << QStringLiteral("%1 overlaps %2").arg(described(shown[i]), described(shown[j]));
            }
        }
    }

    void checkCaption(QWidget* w)
    {
        if (auto* l = qobject_cast<QLabel*>(w))
            checkLabel(l);
        else if (auto* b = qobject_cast<QPushButton*>(w))
            checkPushButton(b);
        else if (auto* t = qobject_cast<QToolButton*>(w))
            checkToolButton(t);
        else if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w))
            checkIndicatorButton(static_cast<QAbstractButton*>(w));
        else if (auto* g = qobject_cast<QGroupBox*>(w))
            checkGroupBox(g);
        else if (auto* c = qobject_cast<QComboBox*>(w))
            checkComboBox(c);
        else if (auto* e = qobject_cast<QLineEdit*>(w))
            checkTextField(e, e);
        else if (auto* s = qobject_cast<QAbstractSpinBox*>(w)) {
            if (auto* e = s->findChild<QLineEdit*>())
                checkTextField(e, s);
        } else if (auto* v = qobject_cast<QAbstractItemView*>(w))
            checkItemView(v);
    }

    // As QLabel lays out its text: inside the contents rectangle less the margin and indent.
    void checkLabel(QLabel* l)
    {
        const QString text = l->text();
        if (text.isEmpty())
            return;
        const QFontMetrics fm(l->font());
        QRect room = l->contentsRect();
        const int margin = l->margin();
        room.adjust(margin, margin, -margin, -margin);
        int indent = l->indent();
        if (indent < 0 && l->frameWidth() > 0)
            indent = fm.horizontalAdvance(QLatin1Char('x')) - 2 * margin;
        const Qt::Alignment align = QStyle::visualAlignment(l->layoutDirection(), l->alignment());
        if (indent > 0) {
            if (align & (Qt::AlignLeft | Qt::AlignRight))
                room.setWidth(room.width() - indent);
            if (align & (Qt::AlignTop | Qt::AlignBottom))
                room.setHeight(room.height() - indent);
        }
        QSize needed;
        const bool rich = l->textFormat() == Qt::RichText
            || (l->textFormat() == Qt::AutoText && Qt::mightBeRichText(text));
        if (rich) {
            QTextDocument doc;
            doc.setDocumentMargin(0);
            doc.setDefaultFont(l->font());
            doc.setHtml(text);
            if (l->wordWrap())
                doc.setTextWidth(room.width());
            needed = QSize(qCeil(doc.idealWidth()), qCeil(doc.size().height()));
        } else {
            int flags = Qt::AlignLeft | Qt::AlignTop;
            if (l->wordWrap())
                flags |= Qt::TextWordWrap;
            if (l->buddy())
                flags |= Qt::TextShowMnemonic;
            needed = fm.boundingRect(0, 0, l->wordWrap() ? room.width() : 100000, 100000, flags, text).size();
        }
        if (!fits(needed, room.size()))
            fault(l, text, needed, room.size());
    }

    // The caption shares the style's contents rectangle with the icon and with any picture the
    // style draws there (the style sheet draws some push buttons as check boxes and radio
    // buttons, with a picture at one side); the caption must stay clear of that picture.
    void checkPushButton(QPushButton* b)
    {
        if (b->text().isEmpty())
            return;
        const QStyleOptionButton opt = pushButtonOption(b);
        const QRect contents = b->style()->subElementRect(QStyle::SE_PushButtonContents, &opt, b);
        const QFontMetrics fm(b->font());
        QSize needed = fm.size(Qt::TextShowMnemonic, b->text());
        if (!b->icon().isNull()) {
            needed.rwidth() += b->iconSize().width() + 4;
            needed.setHeight(qMax(needed.height(), b->iconSize().height()));
        }
        if (b->menu())
            needed.rwidth() += b->style()->pixelMetric(QStyle::PM_MenuButtonIndicator, &opt, b);

        QStyleOptionButton bare = opt;
        bare.text.clear();
        bare.icon = QIcon();
        const QImage withoutCaption = drawnButton(b, bare);
        const QRect inside = contents.intersected(b->rect());
        const QPair<int, int> picture = inside.isEmpty() ? qMakePair(-1, -1) : drawnColumns(withoutCaption, inside);
        QSize room = contents.size();
        QString note;
        if (picture.first >= 0) {
            room.setWidth(qMax(picture.first - contents.left(), contents.right() - picture.second));
            note = QStringLiteral(" beside the picture in columns %1-%2").arg(picture.first).arg(picture.second);
        }
        if (!fits(needed, room)) {
            fault(b, b->text(), needed, room, note);
            return;
        }
        if (picture.first >= 0) {
            const QPair<int, int> ink = differingColumns(drawnButton(b, opt), withoutCaption, b->rect());
            if (ink.first >= 0 && ink.first <= picture.second && ink.second >= picture.first)
                faults << QStringLiteral("%1: \"%2\" (columns %3-%4) runs into the picture in columns %5-%6")
                              .arg(described(b), readable(b->text()))
                              .arg(ink.first)
                              .arg(ink.second)
                              .arg(picture.first)
                              .arg(picture.second);
        }
    }

    void checkToolButton(QToolButton* t)
    {
        if (t->text().isEmpty())
            return;
        QStyleOptionToolButton opt;
        opt.initFrom(t);
        opt.text = t->text();
        opt.icon = t->icon();
        opt.iconSize = t->iconSize();
        opt.toolButtonStyle = t->toolButtonStyle();
        opt.arrowType = t->arrowType();
        opt.subControls = QStyle::SC_ToolButton;
        opt.features = QStyleOptionToolButton::None;
        if (opt.arrowType != Qt::NoArrow)
            opt.features |= QStyleOptionToolButton::Arrow;
        opt.font = t->font();
        Qt::ToolButtonStyle style = t->toolButtonStyle();
        if (style == Qt::ToolButtonFollowStyle)
            style = Qt::ToolButtonStyle(t->style()->styleHint(QStyle::SH_ToolButtonStyle, &opt, t));
        if (style == Qt::ToolButtonIconOnly)
            return;
        // what the style puts around the label: its size for a large label, less the label
        const QSize probe(1000, 1000);
        const QSize frame = t->style()->sizeFromContents(QStyle::CT_ToolButton, &opt, probe, t) - probe;
        const QSize room = t->size() - frame;
        const QSize text = QFontMetrics(t->font()).size(Qt::TextShowMnemonic, t->text());
        const bool picture = !t->icon().isNull() || opt.arrowType != Qt::NoArrow;
        const QSize icon = t->icon().isNull() ? t->iconSize() : t->icon().actualSize(t->iconSize());
        QSize needed = text;
        if (picture && style == Qt::ToolButtonTextBesideIcon)
            needed = QSize(icon.width() + 4 + text.width(), qMax(icon.height(), text.height()));
        else if (picture && style == Qt::ToolButtonTextUnderIcon)
            needed = QSize(qMax(icon.width(), text.width()), icon.height() + 4 + text.height());
        if (!fits(needed, room))
            fault(t, t->text(), needed, room);
    }

    void checkIndicatorButton(QAbstractButton* b)
    {
        if (b->text().isEmpty())
            return;
        const bool radio = qobject_cast<QRadioButton*>(b);
        QStyleOptionButton opt;
        opt.initFrom(b);
        opt.state |= b->isChecked() ? QStyle::State_On : QStyle::State_Off;
        opt.text = b->text();
        opt.icon = b->icon();
        opt.iconSize = b->iconSize();
        const QRect room = b->style()->subElementRect(radio ? QStyle::SE_RadioButtonContents
                                                            : QStyle::SE_CheckBoxContents,
                                                      &opt, b);
        QSize needed = QFontMetrics(b->font()).size(Qt::TextShowMnemonic, b->text());
        if (!b->icon().isNull())
            needed.rwidth() += b->iconSize().width() + 4;
        if (!fits(needed, room.intersected(b->rect()).size()))
            fault(b, b->text(), needed, room.intersected(b->rect()).size());
    }

    void checkGroupBox(QGroupBox* g)
    {
        if (g->title().isEmpty())
            return;
        QStyleOptionGroupBox opt;
        opt.initFrom(g);
        opt.text = g->title();
        opt.textAlignment = g->alignment();
        opt.lineWidth = 1;
        opt.midLineWidth = 0;
        opt.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        if (g->isCheckable())
            opt.subControls |= QStyle::SC_GroupBoxCheckBox;
        opt.features = g->isFlat() ? QStyleOptionFrame::Flat : QStyleOptionFrame::None;
        const QRect label = g->style()->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxLabel, g);
        const QSize needed = QFontMetrics(g->font()).size(Qt::TextShowMnemonic, g->title());
        const QRect room = label.intersected(g->rect());
        if (!fits(needed, room.size()))
            fault(g, g->title(), needed, room.size());
    }

    void checkComboBox(QComboBox* c)
    {
        if (c->isEditable() || c->currentText().isEmpty())
            return;
        QStyleOptionComboBox opt;
        opt.initFrom(c);
        opt.editable = false;
        opt.frame = c->hasFrame();
        opt.currentText = c->currentText();
        opt.currentIcon = c->itemIcon(c->currentIndex());
        opt.iconSize = c->iconSize();
        opt.subControls = QStyle::SC_All;
        const QRect field = c->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, c)
                                .adjusted(1, 0, -1, 0)
                                .intersected(c->rect());
        QSize needed = QFontMetrics(c->font()).size(0, c->currentText());
        if (!opt.currentIcon.isNull())
            needed.rwidth() += c->iconSize().width() + 4;
        if (!fits(needed, field.size()))
            fault(c, c->currentText(), needed, field.size());
    }

    // A text field must be high enough for a line of its font; `shown` is the field itself or
    // the spin box around it.
    void checkTextField(QLineEdit* e, QWidget* shown)
    {
        QStyleOptionFrame opt;
        opt.initFrom(e);
        opt.lineWidth = e->hasFrame() ? e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, e) : 0;
        opt.midLineWidth = 0;
        opt.state |= QStyle::State_Sunken;
        const QMargins margins = e->textMargins();
        const QRect room = e->style()->subElementRect(QStyle::SE_LineEditContents, &opt, e)
                               .adjusted(margins.left(), margins.top(), -margins.right(), -margins.bottom());
        const QFontMetrics fm(e->font());
        if (fm.height() > room.height())
            faults << QStringLiteral("%1: too low for a line of text: needs %2 px, has %3")
                          .arg(described(shown))
                          .arg(fm.height())
                          .arg(room.height());
        // an empty field shows its placeholder whole, inside the field's 2-pixel side margins
        const QString placeholder = e->placeholderText();
        if (e->text().isEmpty() && !placeholder.isEmpty() && fm.horizontalAdvance(placeholder) > room.width() - 4)
            fault(shown, placeholder, QSize(fm.horizontalAdvance(placeholder), fm.height()),
                  QSize(room.width() - 4, room.height()));
    }

    QStyleOptionViewItem itemOption(const QAbstractItemView* v) const
    {
        QStyleOptionViewItem opt;
        opt.initFrom(v);
        opt.state &= ~(QStyle::State_MouseOver | QStyle::State_HasFocus);
        opt.font = v->font();
        const int small = v->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, v);
        opt.decorationSize = v->iconSize().isValid() ? v->iconSize() : QSize(small, small);
        opt.decorationPosition = QStyleOptionViewItem::Left;
        opt.decorationAlignment = Qt::AlignCenter;
        opt.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
        opt.textElideMode = v->textElideMode();
        bool wrap = false;
        if (auto* table = qobject_cast<const QTableView*>(v))
            wrap = table->wordWrap();
        else if (auto* tree = qobject_cast<const QTreeView*>(v))
            wrap = tree->wordWrap();
        if (wrap)
            opt.features = QStyleOptionViewItem::WrapText;
        opt.widget = v;
        return opt;
    }

    // Every cell in view shows its text whole, and so does every header section.
    void checkItemView(QAbstractItemView* v)
    {
        QAbstractItemModel* model = v->model();
        if (!model)
            return;
        const QRect viewport = v->viewport()->rect();
        const QStyleOptionViewItem base = itemOption(v);
        for (int row = 0; row < model->rowCount(v->rootIndex()); ++row) {
            for (int column = 0; column < model->columnCount(v->rootIndex()); ++column) {
                const QModelIndex index = model->index(row, column, v->rootIndex());
                const QRect cell = v->visualRect(index);
                const QString text = index.data(Qt::DisplayRole).toString();
                if (text.isEmpty() || cell.isEmpty() || !viewport.intersects(cell))
                    continue;
                QStyleOptionViewItem opt = base;
                opt.rect = cell;
                const QSize needed = v->itemDelegate(index)->sizeHint(opt, index);
                if (!fits(needed, cell.size()))
                    faults << QStringLiteral("%1: cell %2,%3 \"%4\" needs %5 px, has %6")
                                  .arg(described(v))
                                  .arg(row)
                                  .arg(column)
                                  .arg(readable(text), sizeText(needed), sizeText(cell.size()));
            }
        }
        QList<QHeaderView*> headers;
        if (auto* table = qobject_cast<QTableView*>(v))
            headers << table->horizontalHeader() << table->verticalHeader();
        else if (auto* tree = qobject_cast<QTreeView*>(v))
            headers << tree->header();
        for (QHeaderView* h : qAsConst(headers))
            if (h->isVisible())
                checkHeader(v, h);
    }

    void checkHeader(const QAbstractItemView* v, QHeaderView* h)
    {
        QAbstractItemModel* model = h->model();
        for (int logical = 0; logical < h->count(); ++logical) {
            if (h->isSectionHidden(logical) || h->sectionSize(logical) <= 0)
                continue;
            const QString text = model->headerData(logical, h->orientation(), Qt::DisplayRole).toString();
            const int start = h->sectionViewportPosition(logical);
            const int length = h->orientation() == Qt::Horizontal ? h->viewport()->width() : h->viewport()->height();
            if (text.isEmpty() || start + h->sectionSize(logical) <= 0 || start >= length)
                continue;
            QStyleOptionHeader opt;
            opt.initFrom(h);
            opt.section = logical;
            opt.orientation = h->orientation();
            opt.text = text;
            opt.textAlignment = h->defaultAlignment();
            const QVariant font = model->headerData(logical, h->orientation(), Qt::FontRole);
            if (font.canConvert<QFont>())
                opt.fontMetrics = QFontMetrics(qvariant_cast<QFont>(font));
            const QSize needed = h->style()->sizeFromContents(QStyle::CT_HeaderSection, &opt, QSize(), h);
            const QSize room = h->orientation() == Qt::Horizontal ? QSize(h->sectionSize(logical), h->height())
                                                                  : QSize(h->width(), h->sectionSize(logical));
            if (!fits(needed, room))
                faults << QStringLiteral("%1: header section %2 \"%3\" needs %4 px, has %5")
                              .arg(described(v))
                              .arg(logical)
                              .arg(readable(text), sizeText(needed), sizeText(room));
        }
    }
};

} // namespace

QStringList renderFaults(QWidget* shown, const RenderExceptions& exceptions, RenderChecks checks)
{
    Checker checker(exceptions, checks);
    if (shown && shown->isVisible())
        checker.check(shown);
    else
        checker.faults << QStringLiteral("%1 is not shown").arg(shown ? nameOf(shown) : QStringLiteral("(none)"));
    return checker.faults;
}
