// The windows of fixed design size on a screen of device pixel ratio 2 (the
// test runs on an offscreen screen of 192 dpi, hidpi_screen.json): their
// sizes stay the design's in logical pixels, so on the screen they take twice
// as many pixels each way.
#include <QApplication>
#include <QtTest/QtTest>

#include "instances/confirm_dialog.h"
#include "instances/main_window_layout.h"
#include "ui/confirm_dialog_view.h"
#include "ui/konvert_view.h"
#include "ui/main_window_view.h"

namespace moltaro::ui {

class HighDpiViewTest : public QObject {
  Q_OBJECT

 private:
  static void CheckDoubled(QWidget& window, QSize design) {
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.devicePixelRatio(), 2.0);
    QCOMPARE(window.size(), design);
    QCOMPARE(window.grab().size(), design * 2);
  }

 private slots:
  void fixedSizesScaleWithTheDevicePixelRatio() {
    const instances::MainWindowLayout main;
    TfrmFoView fo;
    CheckDoubled(fo, {main.clientWidth, main.clientHeight});
    // The frame inside it too, once a run shows it.
    fo.fraValt1().SetProgressRange(0, 10);
    const engine::ValtLayout frame;
    QCOMPARE(fo.fraValt1().size(), QSize(frame.frame.width, frame.frame.height));
    QCOMPARE(fo.fraValt1().grab().size(), QSize(frame.frame.width, frame.frame.height) * 2);

    TfrmDialogusView question;
    CheckDoubled(question, {instances::kDialogusWidth, instances::kDialogusHeight});

    const KonvertLayout konvertLayout;
    TkonvertView konvert;
    CheckDoubled(konvert, {konvertLayout.clientWidth, konvertLayout.clientHeight});
  }
};

}  // namespace moltaro::ui

QTEST_MAIN(moltaro::ui::HighDpiViewTest)
#include "hidpi_view_test.moc"
