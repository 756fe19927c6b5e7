// The Qt settings dialog: both layouts photographed and checked for every
// text of the dialog, and the real dialog opened through the built module's
// configProc and used as a person would. Runs on whatever platform
// QT_QPA_PLATFORM names; without one, offscreen on a 1280-pixel screen.
#include "ui/qt/settings_window.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>

#include "host/filter_instance.h"
#include "host/filter_module.h"
#include "host/filter_settings.h"
#include "plugin/common/settings_schema.h"
#include "tests/support/filter_instance.h"

namespace {

using enum ControlId;

std::string outputPath(const std::string& name) {
  return std::string(QV_TEST_OUTPUT_DIR) + "/dialog-" +
         QGuiApplication::platformName().toStdString() + "-" + name + ".png";
}

// What the widget shows as its caption: "&&" in a button is one ampersand.
QString shownText(QWidget* widget) {
  if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
  if (auto* box = qobject_cast<QGroupBox*>(widget)) return box->title();
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    return button->text().replace("&&", "\x01").remove('&').replace('\x01', '&');
  }
  return {};
}

class SettingsWindowLayoutTest : public ::testing::TestWithParam<int> {};

TEST_P(SettingsWindowLayoutTest, ShowsEveryTextWholeAndFitsTheScreenItIsFor) {
  testing_support::CFilterInstance instance;
  CDlgConfig model(instance.data(), RDlgConfigOpening{GetParam(), 4, {}});
  CSettingsWindow window(model);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  const bool compact = GetParam() == kSettingsTemplateCompact;
  const std::string name = compact ? "compact" : "large";
  EXPECT_TRUE(window.grab().save(QString::fromStdString(outputPath(name))));

  // The compact layout is for screens below 1024 pixels, the large one for
  // 1024 x 768 and up (a title bar and a taskbar take some height).
  const QSize size = window.frameGeometry().size();
  EXPECT_LE(size.width(), compact ? 800 : 1024);
  EXPECT_LE(size.height(), compact ? 570 : 740);

  const QRect inside = window.rect();
  for (const RControlEntry& control : CDlgConfig::controls()) {
    QWidget* widget = window.findChild<QWidget*>(settingsWidgetName(control.id));
    ASSERT_NE(widget, nullptr) << int(control.id);
    const QString expected = control.kind == ControlKind::kPushHead
                                 ? QString("Pass 1 & 2")
                                 : QString::fromStdString(model.text(control.id));
    const QString shown = shownText(widget);
    if (!shown.isNull()) {
      EXPECT_EQ(shown, expected) << int(control.id);
    }
    // Whole on screen: inside the window, and as wide as its text needs.
    const QRect area(widget->mapTo(&window, QPoint(0, 0)), widget->size());
    EXPECT_TRUE(inside.contains(area)) << int(control.id);
    if (qobject_cast<QLabel*>(widget) || qobject_cast<QCheckBox*>(widget)) {
      EXPECT_GE(widget->width(), widget->sizeHint().width()) << expected.toStdString();
    }
    if (auto* list = qobject_cast<QComboBox*>(widget)) {
      const std::span<const std::string_view> items = model.items(control.id);
      ASSERT_EQ(list->count(), static_cast<int>(items.size()));
      for (int i = 0; i < list->count(); ++i) {
        EXPECT_EQ(list->itemText(i).toStdString(), items[static_cast<std::size_t>(i)]);
      }
    }
  }

  // The pass-2 column with everything in it enabled, for a person to read.
  model.setChecked(kPass2, true);
  model.setChecked(kSameDestAsSource, false);
  model.setChecked(kFillBorders, true);
  model.setChecked(kSoftBorders, true);
  model.select(kVideoType, 1);
  window.showModel();
  EXPECT_TRUE(window.grab().save(QString::fromStdString(outputPath(name + "-pass2"))));
}

INSTANTIATE_TEST_SUITE_P(Templates, SettingsWindowLayoutTest,
                         ::testing::Values(kSettingsTemplateLarge, kSettingsTemplateCompact));

template <typename T>
T* control(QWidget* window, ControlId id) {
  return window->findChild<T*>(settingsWidgetName(id));
}

// A click that happens after the current timer tick returns: a tick must
// not block in the modal loop the click starts, or no further tick comes.
void clickLater(QAbstractButton* button) {
  QMetaObject::invokeMethod(
      button, [button] { QTest::mouseClick(button, Qt::LeftButton); }, Qt::QueuedConnection);
}

void typeInto(QLineEdit* edit, const char* text) {
  edit->setFocus();
  QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(edit, text);
}

TEST(SettingsDialogThroughConfigProcTest, ChangesControlsFixesARefusedValueAndConfirms) {
  ASSERT_GE(QGuiApplication::primaryScreen()->geometry().width(), 1024);
  // The built module as the host loads it: the dialog library lies beside it.
  host::CFilterModule module(QV_MODULE_PATH);
  host::CFilterInstance instance(module);

  // What a person does, one step each time the dialogs are idle.
  std::string message;
  bool focusOnBlockSize = false;
  int step = 0, ticks = 0, focusWait = 0;
  QTimer driver;
  QObject::connect(&driver, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (++ticks > 1000) {  // ten seconds: give up rather than hang
      if (modal != nullptr) modal->close();
      return;
    }
    if (modal == nullptr) return;
    if (step == 0 && modal->windowTitle() == "Filter: Quiventa") {
      auto* aspect = control<QComboBox>(modal, kSourceAspect);
      const int item = aspect->findText("Standard NTSC  (0.912)");
      aspect->showPopup();
      QAbstractItemView* view = aspect->view();
      QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                        view->visualRect(view->model()->index(item, 0)).center());
      // Each pass column is enabled only while its pass is chosen.
      QTest::mouseClick(control<QPushButton>(modal, kPass2), Qt::LeftButton);
      auto* fill = control<QCheckBox>(modal, kFillBorders);
      QTest::mouseClick(fill, Qt::LeftButton, {}, QPoint(8, fill->height() / 2));
      QTest::mouseClick(control<QPushButton>(modal, kPass1), Qt::LeftButton);
      typeInto(control<QLineEdit>(modal, kBlockSize), "101");
      step = 1;
      clickLater(control<QPushButton>(modal, kOk));
    } else if (step == 1 && qobject_cast<QMessageBox*>(modal) != nullptr) {
      auto* box = static_cast<QMessageBox*>(modal);
      message = box->text().toStdString();
      step = 2;
      clickLater(box->button(QMessageBox::Ok));
    } else if (step == 2 && modal->windowTitle() == "Filter: Quiventa") {
      auto* blockSize = control<QLineEdit>(modal, kBlockSize);
      // The dialog gives the focus back once the message box's own event loop
      // has returned, which can be a tick after the box is gone.
      if (modal->focusWidget() != blockSize && ++focusWait < 50) return;
      focusOnBlockSize = modal->focusWidget() == blockSize;
      typeInto(blockSize, "32");
      step = 3;
      clickLater(control<QPushButton>(modal, kOk));
    }
  });
  driver.start(10);
  const bool confirmed = instance.configure();
  driver.stop();

  EXPECT_TRUE(confirmed);
  EXPECT_EQ(step, 3);
  EXPECT_EQ(message, "Block size: please enter an integer between 1 and 100.");
  EXPECT_TRUE(focusOnBlockSize);
  // The record as the module writes it out.
  host::CFilterSettings settings(instance);
  for (const auto& [name, value] : {std::pair{"sourcePixelAspectPreset", "2"},
                                    {"sourcePixelAspect", "0.911585"},
                                    {"usePreviousFrames", "1"},
                                    {"useFutureFrames", "1"},
                                    {"blockSize", "32"},
                                    {"pass", "1"}}) {
    EXPECT_EQ(settings.fields()[settingSchema(name).position - 1], value) << name;
  }
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // A screen wide enough for the large layout unless a platform was chosen.
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
    const std::string config = std::string(QV_TEST_OUTPUT_DIR) + "/offscreen-screen.json";
    std::ofstream(config) << R"({"screens": [{"name": "wide", "x": 0, "y": 0, "width": 1280,)"
                             R"( "height": 1024, "logicalDpi": 96}]})";
    setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).c_str(), 1);
  }
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
