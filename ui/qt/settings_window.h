// The settings dialog in Qt Widgets: one widget per control of a CDlgConfig,
// laid out in the three columns of the dialog with their push-like pass
// buttons and group boxes, and the bottom row. Every user action goes to the
// model; after each one the widgets show the model again (texts, checks,
// selections, enabled states, focus). OK closes the window only when the
// model confirmed.
//
// The compact template (kSettingsTemplateCompact) uses a smaller font and
// tighter spacing so that the dialog fits an 800 x 600 screen; the large one
// fits 1024 x 768.
//
// Widgets are named after their control: objectName() is
// settingsWidgetName(id), so tests and accessibility tools find them.
// GUI thread only; a QApplication must exist.
#pragma once

#include <QDialog>
#include <QString>
#include <map>

#include "ui/dlg_config.h"

class QGridLayout;
class QWidget;

QString settingsWidgetName(ControlId id);

class CSettingsWindow : public QDialog {
 public:
  // The model must outlive the window. The window gives the model its
  // services: message boxes, the system's save-file dialog, the web page.
  explicit CSettingsWindow(CDlgConfig& model);

  // Shows the model again: after any change the model made on its own.
  void showModel();

 protected:
  void reject() override;

 private:
  QWidget* widget(ControlId id) const { return widgets_.at(id); }
  void createWidget(const RControlEntry& control);
  void connectWidget(const RControlEntry& control);
  void layOut();
  void showFocus();
  // Applies a user action to the model, then shows the model; `refocus`
  // moves the focus where the model wants it.
  template <typename Action>
  void act(Action action, bool refocus = false);

  CDlgConfig& model_;
  std::map<ControlId, QWidget*> widgets_;
  bool showing_ = false;
};
