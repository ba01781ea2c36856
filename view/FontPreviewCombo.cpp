#include "view/FontPreviewCombo.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>
#include <algorithm>

#include "view/DialogParts.h"

namespace pwview {

namespace {

constexpr int kMarkWidth = 16, kGap = 6;
const QString kSample = QStringLiteral("Sample Text");

QFont PreviewFont(const QString& family) {
    QFont font(family);
    font.setPixelSize(CFontPreviewCombo::kItemFontHeight);
    return font;
}

// Draws one face: the scalable mark, the name in the list's font, the sample in the face itself.
class FontPreviewDelegate : public QStyledItemDelegate {
public:
    FontPreviewDelegate(int nameWidth, QObject* parent)
        : QStyledItemDelegate(parent), nameWidth_(nameWidth) {}
    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem plain = option;
        initStyleOption(&plain, index);
        plain.text.clear();
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &plain, p, widget);
        QString family = index.data(Qt::DisplayRole).toString();
        p->save();
        p->setPen(option.palette.color(
            option.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
        QRect r = option.rect.adjusted(2, 0, 0, 0);
        if (QFontDatabase::isScalable(family)) {
            QFont mark = option.font;
            mark.setBold(true);
            p->setFont(mark);
            p->drawText(QRect(r.left(), r.top(), kMarkWidth, r.height()), Qt::AlignCenter,
                        QStringLiteral("T"));
        }
        r.setLeft(r.left() + kMarkWidth + kGap);
        p->setFont(option.font);
        p->drawText(r, Qt::AlignVCenter | Qt::AlignLeft, family);
        r.setLeft(r.left() + nameWidth_ + kGap);
        p->setFont(PreviewFont(family));
        p->drawText(r, Qt::AlignVCenter | Qt::AlignLeft, kSample);
        p->restore();
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        QFontMetrics sample(PreviewFont(index.data(Qt::DisplayRole).toString()));
        return {size.width(), std::max(size.height(), sample.height() + 2)};
    }

private:
    int nameWidth_;
};

}  // namespace

CFontPreviewCombo::CFontPreviewCombo(const QString& current, QWidget* parent) : QComboBox(parent) {
    QStringList families = QFontDatabase::families();
    // A face the settings name but this machine lacks stays choosable, so OK does not lose it.
    if (!current.isEmpty() && !families.contains(current)) families.prepend(current);
    QFontMetrics names(font());
    for (const QString& family : families) {
        addItem(family);
        nameWidth_ = std::max(nameWidth_, names.horizontalAdvance(family));
        sampleWidth_ =
            std::max(sampleWidth_, QFontMetrics(PreviewFont(family)).horizontalAdvance(kSample));
    }
    setItemDelegate(new FontPreviewDelegate(nameWidth_, this));
    setCurrentIndex(std::max(0, findText(current)));
}

void CFontPreviewCombo::showPopup() {
    int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    view()->setMinimumWidth(scrollBar + nameWidth_ + sampleWidth_ + 35);
    QComboBox::showPopup();
}

}  // namespace pwview
