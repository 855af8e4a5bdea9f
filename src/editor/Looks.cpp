#include "editor/Looks.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QGroupBox>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOptionSlider>
#include <QStylePainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <vector>

namespace kw::looks {

namespace {

const QColor kGroove(0xc8, 0xc8, 0xc8);
const QColor kFill(0x3a, 0x8f, 0xd8);
const QColor kHandle(0xf4, 0xf4, 0xf4);
const QColor kHandleBorder(0x6a, 0x6a, 0x6a);
const QColor kHandleDisabled(0xe0, 0xe0, 0xe0);
const QColor kHandleBorderDisabled(0xb0, 0xb0, 0xb0);
const QColor kValueFrame(0x40, 0x40, 0x40);
const QColor kLime(0x00, 0xff, 0x00);

// The level-bar look for vertical bars: a groove four pixels wide, grey above
// the handle and blue below it (the stored value grows toward the top), and a
// handle ten pixels high reaching six pixels beyond the groove on each side.
// Group titles stand where the editor has always had them.
class EditorStyle : public QProxyStyle {
public:
    static constexpr int kGrooveWidth = 4;
    static constexpr int kHandleLength = 10;
    static constexpr int kHandleOverhang = 6;

    static constexpr QPoint kTitleShift{2, 1};

    explicit EditorStyle(QStyle* base) : QProxyStyle(base) {}

    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        if (metric == PM_SliderLength && vertical(option))
            return kHandleLength;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                         const QWidget* widget) const override
    {
        if (control == CC_GroupBox && sub == SC_GroupBoxLabel)
            return QProxyStyle::subControlRect(control, option, sub, widget).translated(kTitleShift);
        if (control != CC_Slider || !vertical(option) || (sub != SC_SliderGroove && sub != SC_SliderHandle))
            return QProxyStyle::subControlRect(control, option, sub, widget);
        const auto* slider = static_cast<const QStyleOptionSlider*>(option);
        const QRect r = slider->rect;
        const QRect groove(r.x() + (r.width() - kGrooveWidth) / 2, r.y(), kGrooveWidth, r.height());
        if (sub == SC_SliderGroove)
            return groove;
        const int at = sliderPositionFromValue(slider->minimum, slider->maximum, slider->sliderPosition,
                                               r.height() - kHandleLength, slider->upsideDown);
        return {groove.x() - kHandleOverhang, r.y() + at, kGrooveWidth + 2 * kHandleOverhang, kHandleLength};
    }

    static constexpr const char* kTitleColour = "kwTitleColour";

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returned) const override
    {
        if (hint == SH_GroupBox_TextLabelColor && option)
            if (const QColor c = titleColourOf(widget, option->palette); c.isValid())
                return int(c.rgba());
        return QProxyStyle::styleHint(hint, option, widget, returned);
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* p,
                            const QWidget* widget) const override
    {
        if (control == CC_GroupBox)
            if (const QColor c = titleColourOf(widget, option->palette); c.isValid())
                if (const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option)) {
                    QStyleOptionGroupBox titled(*box);
                    titled.textColor = c;
                    titled.palette.setColor(QPalette::WindowText, c);
                    QProxyStyle::drawComplexControl(control, &titled, p, widget);
                    return;
                }
        if (control != CC_Slider || !vertical(option)) {
            QProxyStyle::drawComplexControl(control, option, p, widget);
            return;
        }
        const bool enabled = option->state & State_Enabled;
        const QRect groove = subControlRect(control, option, SC_SliderGroove, widget);
        const QRect handle = subControlRect(control, option, SC_SliderHandle, widget);
        p->save();
        p->setRenderHint(QPainter::Antialiasing);
        p->setPen(Qt::NoPen);
        auto rounded = [p](const QRect& r, const QColor& c, qreal radius) {
            if (r.isEmpty())
                return;
            p->setBrush(c);
            p->drawRoundedRect(QRectF(r), radius, radius);
        };
        // Above the handle's middle, and below it, as far as the groove goes.
        const int middle = handle.y() + handle.height() / 2;
        rounded(QRect(groove.topLeft(), QPoint(groove.right(), middle)), kGroove, 2);
        rounded(QRect(QPoint(groove.x(), middle + 1), groove.bottomRight()), enabled ? kFill : kGroove, 2);
        // The handle: a one-pixel frame on whole pixels, round at the corners.
        rounded(handle, enabled ? kHandleBorder : kHandleBorderDisabled, 3);
        rounded(handle.adjusted(1, 1, -1, -1), enabled ? kHandle : kHandleDisabled, 2);
        p->restore();
    }

private:
    // A group's own title colour, readable on the palette it is drawn with.
    static QColor titleColourOf(const QWidget* widget, const QPalette& palette)
    {
        if (!widget)
            return {};
        const QVariant fixed = widget->property(kTitleColour);
        return fixed.isValid() ? readable(fixed.value<QColor>(), palette.color(QPalette::Window)) : QColor();
    }

    static bool vertical(const QStyleOption* option)
    {
        const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option);
        return slider && slider->orientation == Qt::Vertical;
    }
};

// One style for every bar and group, following the application's own.
QStyle* editorStyle()
{
    static QPointer<QStyle> style;
    if (!style) {
        style = new EditorStyle(QStyleFactory::create(QApplication::style()->name()));
        style->setParent(qApp);
    }
    return style;
}

// A widget styled by a style sheet is not told when the application's
// palette changes; its window always is. So both are watched.
class PaletteWatch : public QObject {
public:
    PaletteWatch(QWidget* w, std::function<void()> changed) : QObject(w), widget_(w), changed_(std::move(changed))
    {
        w->installEventFilter(this);
        watchWindow();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        switch (e->type()) {
        case QEvent::PaletteChange:
        case QEvent::ApplicationPaletteChange: changed_(); break;
        case QEvent::Show:
        case QEvent::ParentChange:
            if (watched == widget_)
                watchWindow();
            break;
        default: break;
        }
        return false;
    }

private:
    void watchWindow()
    {
        QWidget* top = widget_->window();
        if (top == widget_ || top == window_)
            return;
        if (window_)
            window_->removeEventFilter(this);
        window_ = top;
        window_->installEventFilter(this);
    }

    QWidget* widget_;
    QPointer<QWidget> window_;
    std::function<void()> changed_;
};

// Paints `w`'s text in its fixed colour, made readable on the window.
void applyFixedColour(QWidget* w)
{
    // The application's window colour: the one these widgets stand on. A
    // parent's palette may not have caught up yet while a new one is sent round.
    const QColor background = QApplication::palette().color(QPalette::Active, QPalette::Window);
    const QColor c = readable(w->property("kwFixedColour").value<QColor>(), background);
    QPalette p = w->palette();
    bool same = true;
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive})
        for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText})
            same = same && p.isBrushSet(g, role) && p.color(g, role) == c;
    if (same)
        return;  // a new palette repaints the widget, also when nothing changed
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive})
        for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText})
            p.setColor(g, role, c);
    w->setPalette(p);
}

// The frame of a black list: black like the list itself, so the list looks
// frameless, and the highlight colour while the keys go to it. Without that
// nothing shows where Tab has gone: a focused black list looks like any other.
void paintFrame(QFrame* frame, bool focused)
{
    const QColor c = focused ? QApplication::palette().color(QPalette::Active, QPalette::Highlight) : QColor(Qt::black);
    QPalette p = frame->palette();
    if (p.color(QPalette::Active, QPalette::WindowText) == c)
        return;
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        p.setColor(g, QPalette::WindowText, c);
    frame->setPalette(p);
}

class FocusFrame : public QObject {
public:
    explicit FocusFrame(QFrame* frame) : QObject(frame) { frame->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        // A list loses the focus in ~QWidget, when it is no QFrame any more.
        if (e->type() == QEvent::FocusIn || e->type() == QEvent::FocusOut)
            if (auto* frame = qobject_cast<QFrame*>(watched))
                paintFrame(frame, e->type() == QEvent::FocusIn);
        return false;
    }
};

} // namespace

Bar::Bar(Qt::Orientation orientation, QWidget* parent) : QSlider(orientation, parent)
{
    if (orientation == Qt::Vertical)
        setStyle(editorStyle());
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool Bar::event(QEvent* e)
{
    const bool handled = QSlider::event(e);
    // The style takes back the opaque paint as it polishes a slider.
    if (e->type() == QEvent::Polish || e->type() == QEvent::StyleChange)
        setAttribute(Qt::WA_OpaquePaintEvent);
    return handled;
}

void Bar::wheelEvent(QWheelEvent* e)
{
    if (!hasFocus()) {
        e->ignore();
        return;
    }
    QSlider::wheelEvent(e);
}

namespace {

class WheelGate : public QObject {
public:
    explicit WheelGate(QWidget* control) : QObject(control)
    {
        control->setFocusPolicy(Qt::StrongFocus);
        control->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() != QEvent::Wheel || static_cast<QWidget*>(watched)->hasFocus())
            return false;
        e->ignore();
        return true;
    }
};

} // namespace

void wheelOnlyWhenFocused(QWidget* control)
{
    new WheelGate(control);
}

void Bar::takeBackground(QPoint at)
{
    // Each parent paints itself (not its other children) over the bar's
    // place, the window's own background first: what the bar stands on.
    std::vector<QWidget*> parents;
    for (QWidget* w = parentWidget(); w; w = w->isWindow() ? nullptr : w->parentWidget())
        parents.push_back(w);
    const qreal dpr = devicePixelRatioF();
    QPixmap picture(size() * dpr);
    picture.setDevicePixelRatio(dpr);
    picture.fill(palette().color(QPalette::Window));
    for (auto it = parents.rbegin(); it != parents.rend(); ++it) {
        QWidget* w = *it;
        const QRect place(mapTo(w, QPoint(0, 0)), size());
        w->render(&picture, QPoint(), QRegion(place),
                  w->isWindow() ? QWidget::RenderFlags(QWidget::DrawWindowBackground) : QWidget::RenderFlags());
    }
    background_ = picture;
    backgroundAt_ = at;
}

void Bar::paintEvent(QPaintEvent*)
{
    const QPoint at = mapTo(window(), QPoint(0, 0));
    if (background_.isNull() || background_.deviceIndependentSize().toSize() != size() || at != backgroundAt_)
        takeBackground(at);
    QStylePainter p(this);
    p.drawPixmap(0, 0, background_);
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    opt.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;
    if (tickPosition() != NoTicks)
        opt.subControls |= QStyle::SC_SliderTickmarks;
    if (isSliderDown()) {
        opt.activeSubControls = QStyle::SC_SliderHandle;
        opt.state |= QStyle::State_Sunken;
    } else if (underMouse()) {
        opt.activeSubControls = style()->hitTestComplexControl(QStyle::CC_Slider, &opt,
                                                               mapFromGlobal(QCursor::pos()), this);
    }
    p.drawComplexControl(QStyle::CC_Slider, opt);
}

ValueLabel::ValueLabel(QWidget* parent) : QLabel(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setContentsMargins(kMarginX, kMarginY, kMarginX, kMarginY);
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
}

void ValueLabel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), kValueFrame);
    p.fillRect(rect().adjusted(1, 1, -1, -1), Qt::black);
    p.setPen(kLime);
    p.drawText(contentsRect(), int(alignment()), text());
}

void blackList(QAbstractItemView* list)
{
    QPalette p = list->palette();
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        p.setColor(g, QPalette::WindowText, Qt::black);  // the frame (FocusFrame)
        p.setColor(g, QPalette::Base, Qt::black);
        p.setColor(g, QPalette::Text, kLime);
        p.setColor(g, QPalette::Highlight, QColor(0x00, 0xa0, 0x00));
        p.setColor(g, QPalette::HighlightedText, Qt::black);
    }
    list->setPalette(p);
    list->setFrameShape(QFrame::Box);
    list->setFrameShadow(QFrame::Plain);
    list->setLineWidth(2);
    new FocusFrame(list);
    QFont f = list->font();
    f.setBold(true);
    list->setFont(f);
}

void statusLine(QLabel* label)
{
    QPalette p = label->palette();
    p.setColor(QPalette::Window, Qt::black);
    p.setColor(QPalette::WindowText, Qt::yellow);
    label->setPalette(p);
    label->setAutoFillBackground(true);
    label->setContentsMargins(10, 1, 10, 1);
    QFont f = label->font();
    f.setBold(true);
    label->setFont(f);
}

void boldGroupTitles(QWidget* root)
{
    const QList<QGroupBox*> groups = root->findChildren<QGroupBox*>();
    // What is inside a group keeps the weight it has now; then the title
    // alone turns bold (a group's font reaches everything inside it).
    for (QGroupBox* g : groups)
        for (QWidget* inside : g->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            QFont f = inside->font();
            f.setWeight(inside->font().weight());
            inside->setFont(f);
        }
    for (QGroupBox* g : groups) {
        QFont f = g->font();
        f.setBold(true);
        g->setFont(f);
        g->setStyle(editorStyle());
    }
}

namespace {

double luminance(const QColor& c)
{
    auto channel = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

} // namespace

double contrast(const QColor& a, const QColor& b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readable(const QColor& wanted, const QColor& background)
{
    if (contrast(wanted, background) >= kTextContrast)
        return wanted;
    // Toward whichever of white and black stands out more from the background.
    const QColor target = contrast(Qt::white, background) >= contrast(Qt::black, background) ? QColor(Qt::white)
                                                                                               : QColor(Qt::black);
    for (int step = 1; step <= 50; ++step) {
        const double t = step / 50.0;
        const QColor mixed = QColor::fromRgbF(float(wanted.redF() + (target.redF() - wanted.redF()) * t),
                                              float(wanted.greenF() + (target.greenF() - wanted.greenF()) * t),
                                              float(wanted.blueF() + (target.blueF() - wanted.blueF()) * t));
        if (contrast(mixed, background) >= kTextContrast)
            return mixed.toRgb();
    }
    return target;
}

void onPaletteChange(QWidget* w, std::function<void()> changed)
{
    new PaletteWatch(w, std::move(changed));
}

void fixedTextColour(QWidget* w, const QColor& colour)
{
    const bool watched = w->property("kwFixedColour").isValid();
    w->setProperty("kwFixedColour", colour);
    applyFixedColour(w);
    if (!watched)
        onPaletteChange(w, [w] { applyFixedColour(w); });
}

void titleColour(QGroupBox* group, const QColor& colour)
{
    group->setProperty(EditorStyle::kTitleColour, colour);
    group->setStyle(editorStyle());
    group->update();
}

} // namespace kw::looks
