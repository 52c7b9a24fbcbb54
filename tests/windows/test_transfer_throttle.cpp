// SPDX-License-Identifier: GPL-3.0-or-later
// The coalescing of layouts and paints while a batch runs behind the progress
// window: the windows stay painted at a steady rate instead of after every row.
#include "app/windows/Upanddown.h"
#include "support/test_transfer_fixture.h"
#include "ui/StatusBar.h"
#include "ui/UpdateThrottle.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QVBoxLayout>

using namespace transfertest;

namespace {

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget *widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

struct Window {
    QWidget top;
    QLabel *label;
    Window() : label(new QLabel(QStringLiteral("start"), &top))
    {
        auto *layout = new QVBoxLayout(&top);
        layout->addWidget(label);
        top.resize(200, 50);
        top.show();
        testsupport::waitUntil([this] { return top.isVisible(); }, 2000);
        QCoreApplication::processEvents();
    }
};

} // namespace

TEST(UpdateThrottleTest, HoldsRequestsUntilTheIntervalAndDeliversThemAtStop)
{
    Window window;
    PaintCounter counter(window.label);
    ui::UpdateThrottle throttle(60000); // never delivers by itself during the test
    throttle.start({&window.top});

    for (int i = 0; i < 20; ++i) {
        window.label->setText(QStringLiteral("row %1 with a longer text").arg(i));
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(counter.paints, 0);
    EXPECT_GT(throttle.heldCount(), 0) << "the label's new size waits too";

    // Stopping delivers what was held: laid out for the last text and painted.
    const int before = counter.paints;
    window.label->setText(QStringLiteral("the last text, which is the widest of all of them"));
    QCoreApplication::processEvents();
    EXPECT_EQ(counter.paints, before);
    throttle.stop();
    EXPECT_GT(counter.paints, before);
    EXPECT_GE(window.label->width(), window.label->sizeHint().width());
    EXPECT_FALSE(throttle.isActive());

    // Without the throttle every change paints again.
    const int after = counter.paints;
    window.label->setText(QStringLiteral("free"));
    QCoreApplication::processEvents();
    EXPECT_GT(counter.paints, after);
}

TEST_F(TransferTest, ABatchPaintsTheMainWindowAtASteadyRateNotPerRow)
{
    ui::Clock::setScale(0.001);
    constexpr int Rows = 60;
    for (int i = 0; i < Rows; ++i)
        ASSERT_NO_FATAL_FAILURE(writeLocal("r" + std::to_string(i), ""));
    ASSERT_NO_FATAL_FAILURE(connect());
    form->LocalFileListV->selectAll();
    // Time the run: at most one paint per 50 ms between rows, besides the ones
    // at the run's start and end.
    QElapsedTimer run;
    QObject::connect(UpDownLoadForm, &QWidget::windowTitleChanged, form, [&run](const QString &title) {
        if (title.endsWith(QStringLiteral("(1/%1)").arg(Rows)))
            run.start();
    });
    ui::StatusBar *bar = form->StatusBar;
    QLabel *panel0 = bar->findChild<QLabel *>(QStringLiteral("StatusBar_panel0"));
    ASSERT_NE(panel0, nullptr);
    PaintCounter counter(panel0);
    form->UploadExecute();

    EXPECT_EQ(countReceived("STOR "), Rows);
    ASSERT_TRUE(run.isValid());
    const int allowed = static_cast<int>(run.elapsed() / 50) + 6;
    EXPECT_LE(counter.paints, allowed) << "rows: " << Rows << ", run: " << run.elapsed() << " ms";
    // The throttle has ended with the run: the window paints freely again.
    const int after = counter.paints;
    ShowStatus("after the run", 0);
    EXPECT_TRUE(testsupport::waitUntil([&] { return counter.paints > after; }, 2000));
}
