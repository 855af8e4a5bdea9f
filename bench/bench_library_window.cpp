// The library window in the running program against 100,000 generated
// performances: from a keystroke in the search box to the table repainted
// (every keystroke of what a user types and corrects), Compare of two rows and
// "Find similar" to their windows drawn, and the memory the
// window costs once open and scrolled from top to bottom.
//
//   bench_library_window [--performances N] [--rounds N] [--json FILE] [--quiet]
//                        [--png FILE [--dark]]   (a picture of the window, rows selected)

#include "BenchKit.h"
#include "editor/LibraryModel.h"
#include "editor/LibraryWindow.h"
#include "editor/MainWindow.h"
#include "files/FileCheck.h"
#include "LibraryFill.h"
#include "shell/Application.h"
#include "support/FakeBackend.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <chrono>
#include <cstring>

using Clock = std::chrono::steady_clock;
using kwbench::Row;

namespace {

void repaint()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    QCoreApplication::processEvents();
}

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", KW_OFFSCREEN_DESK);
    QApplication qt(argc, argv);
    if (kwbench::hasFlag(argc, argv, "--dark")) {
        QPalette dark;
        dark.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
        dark.setColor(QPalette::WindowText, QColor(0xe8, 0xe8, 0xe8));
        dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
        dark.setColor(QPalette::AlternateBase, QColor(0x26, 0x26, 0x26));
        dark.setColor(QPalette::Text, QColor(0xe8, 0xe8, 0xe8));
        dark.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
        dark.setColor(QPalette::ButtonText, QColor(0xe8, 0xe8, 0xe8));
        dark.setColor(QPalette::Highlight, QColor(0x3d, 0x6e, 0xb4));
        dark.setColor(QPalette::HighlightedText, Qt::white);
        dark.setColor(QPalette::PlaceholderText, QColor(0x9a, 0x9a, 0x9a));
        for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            dark.setColor(QPalette::Disabled, role, QColor(0x80, 0x80, 0x80));
        QApplication::setPalette(dark);
    }
    const int performances = kwbench::intArg(argc, argv, "--performances", 100000);
    const int rounds = kwbench::intArg(argc, argv, "--rounds", 3);

    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/kw-bench-libwin-XXXXXX"));
    {
        QSettings s(dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
        s.beginGroup(QStringLiteral("CS1x"));
        s.setValue(QStringLiteral("Midi-IN"), QStringLiteral("CS1x In"));
        s.setValue(QStringLiteral("Midi-OUT"), QStringLiteral("CS1x Out"));
    }
    const std::filesystem::path library = dir.filePath(QStringLiteral("library.sqlite")).toStdString();
    kwbench::fill(library, performances);

    kwtest::FakeBackend::Log log;
    kw::Application::Options o;
    o.settingsFile = dir.filePath(QStringLiteral("settings.ini"));
    std::vector<std::unique_ptr<kw::MidiBackend>> list;
    list.push_back(std::make_unique<kwtest::FakeBackend>(std::vector<std::string>{"CS1x In"},
                                                         std::vector<std::string>{"CS1x Out"}, log));
    o.backends = std::move(list);
    kw::Application app(std::move(o));
    if (!app.start())
        return 1;
    app.window().show();
    repaint();

    // The window's cost: opened, shown, scrolled through to the end and back.
    const long before = kwbench::privateDirtyKb();
    const auto openStart = Clock::now();
    app.window().action("MenuViewLibrary")->trigger();
    kw::LibraryWindow* window = app.libraryWindow();
    repaint();
    const double openMs = msSince(openStart);
    auto* table = window->findChild<QTableView*>(QStringLiteral("LibraryTable"));
    QScrollBar* bar = table->verticalScrollBar();
    for (int step = 0; step <= 50; ++step) {
        bar->setValue(bar->maximum() * step / 50);
        repaint();
    }
    bar->setValue(0);
    repaint();
    const double windowMb = double(kwbench::privateDirtyKb() - before) / 1024.0;

    auto* search = window->findChild<QLineEdit*>(QStringLiteral("LibrarySearch"));
    if (const char* png = kwbench::stringArg(argc, argv, "--png")) {
        table->selectRow(2);
        table->selectionModel()->select(table->model()->index(3, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
        repaint();
        const bool saved = window->grab().save(QString::fromLocal8Bit(png));
        app.finish();
        return saved ? 0 : 1;
    }
    std::vector<double> keys;
    for (int round = 0; round < rounds; ++round) {
        std::string typed;
        for (const std::string& text : kwbench::keystrokes()) {
            const auto start = Clock::now();
            if (text.size() > typed.size())
                QTest::keyClick(search, text.back());
            else
                QTest::keyClick(search, Qt::Key_Backspace);
            repaint();
            keys.push_back(msSince(start));
            typed = text;
        }
        search->clear();
        repaint();
    }
    // Compare: two rows, the button, the window drawn with what differs
    // (random performances differ in most parameters: the longest list).
    // Then "Find similar" to its list drawn, once the data is in memory.
    auto* compare = window->findChild<QPushButton*>(QStringLiteral("LibraryCompare"));
    auto* similar = window->findChild<QPushButton*>(QStringLiteral("LibrarySimilar"));
    std::vector<double> compares, similars;
    for (int i = 0; i < 20 * rounds; ++i) {
        table->selectRow(i % 40);
        table->selectionModel()->select(table->model()->index(i % 40 + 1, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
        repaint();
        const auto start = Clock::now();
        compare->click();
        repaint();
        compares.push_back(msSince(start));
    }
    if (auto* listed = window->findChild<QTreeWidget*>(QStringLiteral("CompareList")); !listed || listed->topLevelItemCount() < 100) {
        std::fprintf(stderr, "bench_library_window: Compare listed too little to measure\n");
        return 1;
    }
    for (int i = 0; i <= 5 * rounds; ++i) {
        table->selectRow(i % 40);
        repaint();
        const auto start = Clock::now();
        similar->click();
        repaint();
        if (i > 0)  // the first reads every entry's data
            similars.push_back(msSince(start));
    }
    const std::string many = kw::groupedNumber(uint64_t(performances));
    const auto over = size_t(std::count_if(keys.begin(), keys.end(), [](double v) { return v > 16.0; }));
    std::vector<Row> rows = {
        {"library window: keystroke to table", "ms", kwbench::stats(keys), 16.0, false,
         std::to_string(over) + " of " + std::to_string(keys.size()) + " over 16 ms; " + many + " performances"},
        {"library window: compare to drawn", "ms", kwbench::stats(compares), 5.0, false,
         "two random performances: most parameters differ"},
        {"library window: find similar to drawn", "ms", kwbench::stats(similars), 100.0, false,
         "the nearest 50 of " + many},
        {"library window: opening", "ms", kwbench::stats({openMs}), std::nullopt, false, many + " performances"},
        {"library window: memory", "MB", kwbench::stats({windowMb}), 30.0, false,
         "private memory it added, open and scrolled through " + many + " rows"},
    };
    window->close();
    app.finish();
    return kwbench::report(argc, argv, "bench_library_window", rows);
}
