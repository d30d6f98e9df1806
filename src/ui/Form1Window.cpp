#include "Form1Window.h"

#include "ModemBrowserWidget.h"
#include "common/EventHandler.h"
#include "wizard/Form1.h"

#include <QFrame>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

namespace tolvane {

namespace {

constexpr float TwipsPerInch = 1440;
// Borders and caption bar that the window's outer size includes, as on the system the layout
// was designed for.
constexpr float NonClientWidth = 120;
constexpr float NonClientHeight = 450;

const QString Grey = QStringLiteral("#8c8c8c");

// The smallest size a label shrinks to, and the steps it takes on the way.
constexpr qreal SmallestPoints = 5;
constexpr qreal PointStep = 0.25;

QFont designFont(float points, bool bold)
{
    // Where MS Sans Serif is missing, the faces closest to its widths, so captions fit the
    // designed sizes.
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("DejaVu Sans Condensed")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QString shown(const std::string& caption)
{
    return QString::fromLocal8Bit(caption).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

bool textFits(const QLabel* label, const QFont& font)
{
    const QRect box = label->contentsRect();
    const QRect needed =
        QFontMetrics(font, label)
            .boundingRect(box, int(label->alignment()) | Qt::TextWordWrap, label->text());
    return needed.width() <= box.width() && needed.height() <= box.height();
}

// The layout was made for MS Sans Serif. Where the system's face is wider, a label's font
// shrinks until its text fits the label's box, rather than losing its end.
void fitText(QLabel* label)
{
    QFont font = label->font();
    while (!textFits(label, font) && font.pointSizeF() - PointStep >= SmallestPoints)
        font.setPointSizeF(font.pointSizeF() - PointStep);
    label->setFont(font);
}

QLabel* label(QWidget* parent, const QString& style, Qt::Alignment alignment)
{
    auto* l = new QLabel(parent);
    l->setStyleSheet(style);
    l->setAlignment(alignment);
    l->setWordWrap(true);
    return l;
}

// Enter presses a button that has the focus, as on Windows, not only Space.
QPushButton* button(QWidget* parent)
{
    auto* b = new QPushButton(parent);
    b->setAutoDefault(true);
    return b;
}

QFrame* frame(QWidget* parent)
{
    auto* f = new QFrame(parent);
    f->setFrameShape(QFrame::Box);
    f->setFrameShadow(QFrame::Sunken);
    return f;
}

} // namespace

Form1Window::Form1Window(ModemBrowser& browser, QWidget* parent) : QWidget(parent)
{
    setWindowTitle(QString::fromLatin1(Form1Caption));
    QPalette grey = palette();
    grey.setColor(QPalette::Window, QColor(Grey));
    setPalette(grey);
    setAutoFillBackground(true);
    setFont(designFont(9.75F, true));
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 256})
        icon.addFile(QStringLiteral(":/icon/tolvane-%1.png").arg(size), QSize(size, size));
    setWindowIcon(icon);
    build(browser);
}

void Form1Window::build(ModemBrowser& browser)
{
    auto& w = m_widgets;
    const auto at = [](Control c) {
        return static_cast<std::size_t>(c);
    };
    const auto left = Qt::AlignLeft | Qt::AlignTop;
    const auto centre = Qt::AlignHCenter | Qt::AlignTop;

    w[at(Control::Image1)] = new QLabel(this);
    w[at(Control::Frame1)] = frame(this);
    w[at(Control::Frame2)] = frame(this);
    QWidget* f1 = w[at(Control::Frame1)];
    QWidget* f2 = w[at(Control::Frame2)];
    const QString whiteOnGrey = QStringLiteral("color: white; background: %1;").arg(Grey);
    w[at(Control::Label1)] = label(f1, whiteOnGrey, centre);
    w[at(Control::Label5)] = label(f1, QStringLiteral("color: red; background: white;"), left);
    w[at(Control::Command1)] = button(f1);
    w[at(Control::Command2)] = button(f1);
    w[at(Control::ProgressLabelback)] =
        label(f1, QStringLiteral("background: white; border: 1px solid #404040;"), left);
    w[at(Control::ProgressLab)] = label(f1, QStringLiteral("background: #000080;"), left);
    w[at(Control::Label3)] = label(f2, QString(), left);
    w[at(Control::Label4)] = label(f2, whiteOnGrey, left);
    w[at(Control::Label2)] = label(f2, QString(), left);
    auto* password = new QLineEdit(f2);
    password->setEchoMode(QLineEdit::Password);
    password->setStyleSheet(QStringLiteral("lineedit-password-character: 42;")); // "*"
    w[at(Control::txtPassword)] = password;
    w[at(Control::Command3)] = button(f2);
    w[at(Control::Command4)] = button(f2);
    auto* status = label(this, QStringLiteral("color: yellow;"), left);
    status->setWordWrap(false);
    w[at(Control::lblStatus)] = status;
    // The paste gives the browser the focus; the user never needs to reach it.
    w[at(Control::WebBrowser1)] = new ModemBrowserWidget(browser, this);
    w[at(Control::WebBrowser1)]->setFocusPolicy(Qt::ClickFocus);
    // CheckFirmwareText only holds page text for the procedures; it has no widget.
    for (std::size_t i = 0; i < ControlCount; ++i)
        if (w[i])
            w[i]->setObjectName(QString::fromLatin1(DesignedControls()[i].name));
}

void Form1Window::attach(Form1& form)
{
    const auto button = [&](Control c, void (Form1::*handler)()) {
        connect(static_cast<QPushButton*>(widget(c)), &QPushButton::clicked, this,
                [&form, handler] { RunEventHandler([&] { (form.*handler)(); }); });
    };
    button(Control::Command1, &Form1::Command1_Click);
    button(Control::Command2, &Form1::Command2_Click);
    button(Control::Command3, &Form1::Command3_Click);
    button(Control::Command4, &Form1::Command4_Click);
    auto* password = static_cast<QLineEdit*>(widget(Control::txtPassword));
    connect(password, &QLineEdit::textEdited, this, [&form](const QString& text) {
        form.userTyped(Control::txtPassword, text.toStdString());
    });
    connect(password, &QLineEdit::returnPressed,
            static_cast<QPushButton*>(widget(Control::Command3)), &QPushButton::click);
    for (std::size_t i = 0; i < ControlCount; ++i)
        controlChanged(static_cast<Control>(i), form.control(static_cast<Control>(i)));
    windowChanged(form.window());
}

int Form1Window::pixels(float twips) const
{
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const qreal dpi = screen ? screen->logicalDotsPerInch() : 96;
    return qRound(twips * dpi / TwipsPerInch);
}

float Form1Window::twips(int pixels) const
{
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const qreal dpi = screen ? screen->logicalDotsPerInch() : 96;
    return static_cast<float>(pixels * TwipsPerInch / dpi);
}

void Form1Window::controlChanged(Control control, const ControlState& state)
{
    QWidget* w = widget(control);
    if (!w)
        return;
    w->setGeometry(pixels(state.left), pixels(state.top), pixels(state.width),
                   pixels(state.height));
    const bool becomesUsable = state.enabled && !w->isEnabled();
    w->setVisible(state.visible);
    w->setEnabled(state.enabled);
    if (becomesUsable && qobject_cast<QPushButton*>(w))
        focusIfUnattended(w);
    if (control != Control::WebBrowser1)
        w->setFont(designFont(state.fontSize, state.fontBold));
    const QString text = shown(state.caption);
    if (auto* button = qobject_cast<QPushButton*>(w)) {
        button->setText(text);
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        if (edit->text() != text)
            edit->setText(text);
    } else if (auto* l = qobject_cast<QLabel*>(w); l && control != Control::Image1) {
        l->setText(text);
        if (control == Control::lblStatus)
            l->adjustSize(); // sizes itself to its text
        else
            fitText(l);
    }
}

void Form1Window::focusIfUnattended(QWidget* button)
{
    // A button that becomes usable while the user has nothing to type into takes the focus, so
    // that an outcome can be answered from the keyboard. The browser holds the focus only for
    // the paste, out of the user's sight.
    const QWidget* focused = focusWidget();
    const bool attended = focused && focused->isEnabled() && focused->isVisible() &&
                          focused != widget(Control::WebBrowser1);
    if (!attended && button->isVisible())
        button->setFocus(Qt::OtherFocusReason);
}

void Form1Window::windowChanged(const WindowState& state)
{
    const QSize client(pixels(state.width - NonClientWidth),
                       pixels(state.height - NonClientHeight));
    if (client.width() > 0 && client.height() > 0 && client != size())
        setFixedSize(client);
    if (state.topmost != bool(windowFlags() & Qt::WindowStaysOnTopHint))
        setWindowFlag(Qt::WindowStaysOnTopHint, state.topmost);
    if (state.visible && !m_centred && screen()) {
        move(screen()->availableGeometry().center() - rect().center());
        m_centred = true;
    }
    setVisible(state.visible);
}

std::optional<PictureSize> Form1Window::loadPicture(const std::string& path)
{
    QPixmap picture;
    if (!picture.load(QString::fromLocal8Bit(path), "BMP"))
        return std::nullopt;
    static_cast<QLabel*>(widget(Control::Image1))->setPixmap(picture);
    return PictureSize{twips(picture.width()), twips(picture.height())};
}

void Form1Window::setFocus(Control control)
{
    if (QWidget* w = widget(control))
        w->setFocus(Qt::OtherFocusReason);
}

void Form1Window::bringToFront(Control control)
{
    if (QWidget* w = widget(control))
        w->raise();
}

void Form1Window::activate()
{
    // A silent run without a display has the offscreen platform, which has no stacking order and
    // only prints a warning when asked to raise a window.
    if (QGuiApplication::platformName() != u"offscreen")
        raise();
    activateWindow();
}

void Form1Window::unload()
{
    hide();
}

} // namespace tolvane
