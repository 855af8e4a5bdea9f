#include "editor/PageKit.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <stdexcept>

namespace kw::pagekit {

void styleVerticalBar(QSlider* bar)
{
    bar->setStyleSheet(QStringLiteral(
        "QSlider::groove:vertical { width: 4px; background: #c8c8c8; border-radius: 2px; }"
        "QSlider::add-page:vertical { background: #3a8fd8; border-radius: 2px; }"
        "QSlider::sub-page:vertical { background: #c8c8c8; border-radius: 2px; }"
        "QSlider::handle:vertical { height: 8px; margin: 0 -6px; border: 1px solid #6a6a6a;"
        " border-radius: 3px; background: #f4f4f4; }"
        "QSlider::handle:vertical:disabled { background: #e0e0e0; border-color: #b0b0b0; }"
        "QSlider::add-page:vertical:disabled { background: #c8c8c8; }"));
}

QSlider* verticalBar(const QString& name, int min, int max, QWidget* parent)
{
    auto* bar = new QSlider(Qt::Vertical, parent);
    bar->setObjectName(name);
    bar->setRange(min, max);
    bar->setInvertedAppearance(true);
    // Keys move the bar the way it looks: Up/PageUp toward the top (minimum).
    bar->setInvertedControls(true);
    bar->setTickInterval(1);
    bar->setTickPosition(QSlider::NoTicks);
    bar->setPageStep(std::max(1, (max - min) / 16));
    bar->setMinimumHeight(72);
    styleVerticalBar(bar);
    return bar;
}

Column column(const QString& name, const QString& caption, int min, int max, QWidget* parent, const QString& hint)
{
    Column c;
    c.widget = new QWidget(parent);
    auto* lay = new QVBoxLayout(c.widget);
    lay->setContentsMargins(1, 0, 1, 0);
    lay->setSpacing(2);
    c.caption = new QLabel(caption, c.widget);
    c.caption->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    c.caption->setWordWrap(true);
    QFont small = c.caption->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    c.caption->setFont(small);
    c.bar = verticalBar(name, min, max, c.widget);
    if (!hint.isEmpty())
        c.bar->setToolTip(hint);
    c.value = new QLabel(c.widget);
    c.value->setObjectName("Label_" + name);
    c.value->setProperty("role", "value");
    c.value->setAlignment(Qt::AlignHCenter);
    c.value->setMinimumWidth(c.value->fontMetrics().horizontalAdvance(QStringLiteral("-000")));
    lay->addWidget(c.caption);
    lay->addWidget(c.bar, 1, Qt::AlignHCenter);
    lay->addWidget(c.value);
    return c;
}

const FieldRow& row(const char* control)
{
    const FieldRow* r = findField(control);
    if (!r)
        throw std::logic_error(std::string("no field row for ") + control);
    return *r;
}

FieldBar::FieldBar(EditorContext& ctx, const FieldRow& row, const QString& caption, QWidget* parent,
                   const QString& hint, std::function<int()> tab)
    : QObject(parent), ctx_(ctx), row_(row), tab_(std::move(tab))
{
    col_ = column(QString::fromLatin1(row.control), caption, row.min, row.max, parent, hint);
    QObject::connect(col_.bar, &QSlider::valueChanged, this, [this](int p) { changed(p); });
}

uint8_t& FieldBar::byte()
{
    return ctx_.image.edit[row_.block].data(row_.offsetFor(tab_ ? tab_() : 0));
}

void FieldBar::changed(int position)
{
    col_.value->setText(text(row_.labelText(position)));
    storeAndSend(ctx_, row_, position, tab_ ? tab_() : 0);
}

void FieldBar::refresh()
{
    const QSignalBlocker block(col_.bar);
    col_.bar->setValue(row_.positionFromStored(byte()));
    col_.value->setText(text(row_.labelText(col_.bar->value())));
}

namespace {

// Tells a click on the entry that is already current (which changes no
// row) from one that moves the selection (already handled on the change).
class ChoiceWatcher : public QObject {
public:
    ChoiceWatcher(QListWidget* list, std::function<void(int)> handler)
        : QObject(list), handler_(std::move(handler))
    {
        list->viewport()->installEventFilter(this);
        connect(list, &QListWidget::currentRowChanged, this, [this](int r) {
            handledOnChange_ = true;
            if (r >= 0)
                handler_(r);
        });
        connect(list, &QAbstractItemView::clicked, this, [this](const QModelIndex& i) {
            if (!handledOnChange_ && i.isValid())
                handler_(i.row());
        });
    }

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::MouseButtonPress)
            handledOnChange_ = false;
        return false;
    }

private:
    std::function<void(int)> handler_;
    bool handledOnChange_ = false;
};

} // namespace

void onChoice(QListWidget* list, std::function<void(int)> handler)
{
    new ChoiceWatcher(list, std::move(handler));
}

void selectAtTop(QListWidget* list, int index)
{
    const QSignalBlocker block(list);
    if (index < 0 || index >= list->count()) {
        list->setCurrentRow(-1);
        list->clearSelection();
        return;
    }
    list->setCurrentRow(index);
    list->scrollToItem(list->item(index), QAbstractItemView::PositionAtTop);
}

QListWidget* listBox(const QString& name, const char* const* items, int count, QWidget* parent, const QString& hint)
{
    auto* list = new QListWidget(parent);
    list->setObjectName(name);
    for (int i = 0; i < count; ++i)
        list->addItem(QString::fromUtf8(items[i]));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setUniformItemSizes(true);
    if (!hint.isEmpty())
        list->setToolTip(hint);
    return list;
}

std::string decimalSeparator()
{
    return QLocale().decimalPoint().toStdString();
}

void storeAndSend(EditorContext& ctx, const FieldRow& row, int position, int tab)
{
    uint8_t& byte = ctx.image.edit[row.block].data(row.offsetFor(tab));
    byte = row.storedFromPosition(position);
    sendCommon(ctx, row.addressLow(tab), byte);
}

void sendCommon(EditorContext& ctx, uint8_t addressLow, uint8_t value)
{
    ctx.senders.parameterChange(0x60, 0x00, addressLow, value);
}

void sendCommon2(EditorContext& ctx, uint8_t addressLow, uint8_t first, uint8_t second)
{
    ctx.senders.parameterChange2(0x60, 0x00, addressLow, first, second);
}

} // namespace kw::pagekit
