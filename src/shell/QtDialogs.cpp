#include "shell/QtDialogs.h"

#include "editor/QtText.h"
#include "shell/MessageWindow.h"
#include "shell/PathWindow.h"
#include "shell/UserPerfSelectWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QProgressBar>
#include <QProgressDialog>

#include <algorithm>

namespace kw {

namespace {


std::optional<std::string> chosen(const QString& path)
{
    if (path.isEmpty())
        return std::nullopt;
    return path.toStdString();
}

// Polished and laid out now, not when the first message comes.
QMessageBox* readyBox(QWidget* parent)
{
    auto* box = new QMessageBox(QMessageBox::Information, QString(), QString(), QMessageBox::Ok, parent);
    box->ensurePolished();
    box->adjustSize();
    return box;
}

} // namespace

QString startFolder(const QString& folder)
{
    // A folder that was removed or unplugged since: Qt's dialog would start
    // in the program's working folder instead.
    QString f = folder.isEmpty() ? QString() : QDir::cleanPath(QDir(folder).absolutePath());
    while (!f.isEmpty() && !QFileInfo(f).isDir()) {
        const QString up = QFileInfo(f).absolutePath();
        f = up == f ? QString() : up;
    }
    return f.isEmpty() ? QDir::homePath() : QDir::toNativeSeparators(f);
}

namespace {

// The program's own title on its boxes.
QString titleFor(const QWidget* parent)
{
    return parent ? parent->windowTitle() : QApplication::applicationDisplayName();
}

// The transfers it shows keep the main window busy, and a disabled window
// takes its child windows along; so the progress window is a window of its
// own, modal to the whole program and placed over the main window, and its
// Cancel button stays usable. Its bar is moved directly: the dialog's own
// setValue() runs the event loop when modal, which would let timers and
// input into the transfer step that reports progress.
class QtProgress : public Progress {
public:
    QtProgress(QWidget* over, const std::string& title, const std::string& text, int maximum)
        : dialog_(qs(text), QStringLiteral("Cancel"), 0, maximum), bar_(new QProgressBar)
    {
        dialog_.setObjectName(QStringLiteral("TransferProgress"));
        dialog_.setWindowTitle(qs(title));
        dialog_.setWindowModality(Qt::ApplicationModal);
        dialog_.setAutoClose(false);
        dialog_.setAutoReset(false);
        dialog_.setMinimumWidth(360);
        bar_->setRange(0, maximum);
        bar_->setValue(0);
        dialog_.setBar(bar_);
        dialog_.adjustSize();
        if (over)
            dialog_.move(over->frameGeometry().center() - dialog_.rect().center());
        dialog_.show();
    }
    void setValue(int value) override { bar_->setValue(value); }
    void setText(const std::string& text) override { dialog_.setLabelText(qs(text)); }
    bool cancelled() const override { return dialog_.wasCanceled(); }
    void close() override { dialog_.close(); }

private:
    QProgressDialog dialog_;
    QProgressBar* bar_;  // owned by the dialog
};

} // namespace

QtDialogs::~QtDialogs()
{
    // Windows without a parent window are ours to remove.
    if (messages_ && !messages_->parent())
        delete messages_;
    if (inform_ && !inform_->parent())
        delete inform_;
    if (notice_ && !notice_->parent())
        delete notice_;
}

void QtDialogs::setParent(QWidget* window)
{
    parent_ = window;
    if (messages_ && !messages_->parent())
        delete messages_;
    messages_ = new TMessageWindow(window);
    if (inform_ && !inform_->parent())
        delete inform_;
    inform_ = nullptr;
    informBox();
    if (notice_ && !notice_->parent())
        delete notice_;
    notice_ = nullptr;
    noticeBox();
}

QMessageBox& QtDialogs::informBox()
{
    if (!inform_)
        inform_ = readyBox(parent_);
    return *inform_;
}

QMessageBox& QtDialogs::noticeBox()
{
    if (!notice_) {
        notice_ = readyBox(parent_);
        notice_->setObjectName(QStringLiteral("NoticeBox"));
        notice_->setWindowModality(Qt::NonModal);
        QObject::connect(notice_, &QDialog::finished, notice_, [this] { content_.closed(); });
    }
    return *notice_;
}

void QtDialogs::showContent(bool activate)
{
    QMessageBox& box = noticeBox();
    if (!content_.up()) {
        box.hide();
        return;
    }
    box.setWindowTitle(titleFor(parent_));
    box.setText(qs(content_.text()));
    if (box.isVisible()) {
        box.adjustSize();
    } else {
        // A notice comes up while the user plays, drags a bar or types a
        // name: they carry on, and close it when they like.
        box.setAttribute(Qt::WA_ShowWithoutActivating, !activate);
        box.show();
    }
    box.raise();
    if (activate) {
        // Return closes it, instead of reaching the window behind it.
        box.activateWindow();
        if (QAbstractButton* ok = box.button(QMessageBox::Ok))
            ok->setFocus(Qt::ActiveWindowFocusReason);
    }
}

TMessageWindow& QtDialogs::messageWindow()
{
    if (!messages_)
        messages_ = new TMessageWindow(parent_);
    return *messages_;
}

int QtDialogs::ask(const std::string& text, const std::string& firstButton, const std::string& secondButton)
{
    return messageWindow().ask(qs(text), qs(firstButton), qs(secondButton));
}

bool QtDialogs::confirm(const std::string& caption, const std::string& text, Default byDefault)
{
    return QMessageBox::question(parent_, qs(caption), qs(text), QMessageBox::Yes | QMessageBox::No,
                                 byDefault == Default::No ? QMessageBox::No : QMessageBox::Yes) != QMessageBox::No;
}

int QtDialogs::choose(const std::string& caption, const std::string& text, const std::vector<std::string>& buttons)
{
    QMessageBox box(QMessageBox::Question, qs(caption), qs(text), QMessageBox::NoButton, parent_);
    std::vector<QAbstractButton*> shown;
    for (size_t i = 0; i < buttons.size(); ++i) {
        const bool last = i + 1 == buttons.size();
        shown.push_back(box.addButton(qs(buttons[i]), last ? QMessageBox::RejectRole : QMessageBox::AcceptRole));
    }
    if (!shown.empty()) {
        box.setDefaultButton(qobject_cast<QPushButton*>(shown.front()));
        box.setEscapeButton(shown.back());
    }
    box.exec();
    const auto it = std::find(shown.begin(), shown.end(), box.clickedButton());
    return it == shown.end() ? int(buttons.size()) - 1 : int(it - shown.begin());
}

void QtDialogs::inform(const std::string& text)
{
    inform(text, {});
}

void QtDialogs::inform(const std::string& text, const std::string& details)
{
    QMessageBox& box = informBox();
    box.setWindowTitle(titleFor(parent_));
    box.setText(qs(text));
    box.setDetailedText(qs(details));
    box.exec();
    box.setDetailedText({});
}

void QtDialogs::notify(const std::string& text)
{
    content_.notice(text);
    showContent(false);
}

bool QtDialogs::notifying() const
{
    return notice_ && notice_->isVisible();
}

void QtDialogs::answer(const std::string& text, const std::string& topic)
{
    if (!notifying())
        content_.closed();
    content_.answer(text, topic);
    showContent(true);
}

void QtDialogs::withdraw(const std::string& topic)
{
    if (!notifying())
        content_.closed();
    if (content_.withdraw(topic))
        showContent(false);
}

std::optional<std::string> QtDialogs::chooseOpenFile(const std::string& title, const std::string& filter,
                                                     const std::string& folder)
{
    return chosen(QFileDialog::getOpenFileName(parent_, qs(title), startFolder(qs(folder)), qs(filter)));
}

std::vector<std::string> QtDialogs::chooseOpenFiles(const std::string& title, const std::string& filter,
                                                   const std::string& folder)
{
    std::vector<std::string> out;
    for (const QString& f : QFileDialog::getOpenFileNames(parent_, qs(title), startFolder(qs(folder)), qs(filter)))
        out.push_back(f.toStdString());
    return out;
}

std::optional<std::string> QtDialogs::chooseSaveFile(const std::string& title, const std::string& filter,
                                                     const std::string& folder, const std::string& proposedName)
{
    return chosen(QFileDialog::getSaveFileName(parent_, qs(title),
                                               QDir(startFolder(qs(folder))).filePath(qs(proposedName)), qs(filter)));
}

std::optional<std::string> QtDialogs::chooseFolder(const std::string& title, const std::string& startFolder)
{
    TPathWindow window(qs(title), qs(startFolder), parent_);
    window.exec();
    if (!window.confirmed())
        return std::nullopt;
    return window.folder().toStdString();
}

// The callers accept only a confirmed choice of an actual line.
std::optional<int> QtDialogs::chooseUserPerf(const UserPerfChoice& choice)
{
    QStringList entries;
    for (const std::string& e : choice.entries)
        entries << qs(e);
    TUserPerfSelectWindow window(entries, parent_);
    window.setCaption(qs(choice.caption));
    window.setButtonText(qs(choice.buttonText));
    window.setSelected(choice.selected);
    window.setTopIndex(choice.topIndex);
    window.exec();
    if (!window.confirmed() || window.selected() < 0)
        return std::nullopt;
    return window.selected();
}

std::unique_ptr<Progress> QtDialogs::progress(const std::string& title, const std::string& text, int maximum)
{
    return std::make_unique<QtProgress>(parent_, title, text, maximum);
}

} // namespace kw
