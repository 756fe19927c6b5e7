#include "ui/qt/settings_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/web_page.h"

namespace {

using enum ControlId;

QString fromView(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// "Log Files (*.log)" "*.log" pairs become Qt's "Log Files (*.log);;..."; the
// description already names its patterns.
QString qtFilter(const RFileChooserRequest& request) {
  QStringList filters;
  for (const auto& filter : request.filters) filters << QString::fromStdString(filter.first);
  return filters.join(";;");
}

RDlgConfigServices qtServices(QWidget* owner) {
  QPointer<QWidget> parent(owner);
  RDlgConfigServices services;
  services.showMessage = [parent](const std::string& message) {
    QMessageBox::warning(parent, "Quiventa", QString::fromStdString(message));
  };
  services.chooseFile = [parent](const RFileChooserRequest& request) -> std::optional<std::string> {
    const QString chosen = QFileDialog::getSaveFileName(
        parent, QString::fromStdString(request.title), QString::fromStdString(request.startName),
        qtFilter(request), nullptr, QFileDialog::DontConfirmOverwrite);
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.toStdString();
  };
  services.visitWebPage = [] { visitWebPage(quiventaManualPath()); };
  return services;
}

// Room for this many characters in a numeric edit.
int editWidth(const QWidget* widget, int characters) {
  return widget->fontMetrics().horizontalAdvance(QString(characters, '0')) + 12;
}

}  // namespace

QString settingsWidgetName(ControlId id) {
  return QStringLiteral("control%1").arg(static_cast<int>(id));
}

CSettingsWindow::CSettingsWindow(CDlgConfig& model) : model_(model) {
  setWindowTitle("Filter: Quiventa");
  if (model_.templateId() == kSettingsTemplateCompact) {
    QFont small = font();
    // Like the Windows templates' 8 and 7 points.
    small.setPointSizeF(std::max(6.5, small.pointSizeF() * 7 / 9));
    setFont(small);
  }
  for (const RControlEntry& control : CDlgConfig::controls()) createWidget(control);
  layOut();
  for (const RControlEntry& control : CDlgConfig::controls()) connectWidget(control);
  model_.setServices(qtServices(this));
  showModel();
  showFocus();
}

void CSettingsWindow::createWidget(const RControlEntry& control) {
  const QString text = fromView(control.text);
  QWidget* created = nullptr;
  switch (control.kind) {
    case ControlKind::kLabel: {
      auto* label = new QLabel(text, this);
      label->setTextFormat(Qt::PlainText);
      created = label;
      break;
    }
    case ControlKind::kGroup:
      created = new QGroupBox(text, this);
      break;
    case ControlKind::kEdit: {
      auto* edit = new QLineEdit(this);
      const bool path = control.id == kLogFolder || control.id == kLogFile;
      const bool compact = model_.templateId() == kSettingsTemplateCompact;
      if (!path) edit->setFixedWidth(editWidth(edit, compact ? 5 : 6));
      created = edit;
      break;
    }
    case ControlKind::kCheck:
      created = new QCheckBox(text, this);
      break;
    case ControlKind::kRadio:
    case ControlKind::kPushHead: {
      auto* button = new QPushButton(text, this);
      button->setCheckable(true);
      button->setAutoDefault(false);
      created = button;
      break;
    }
    case ControlKind::kList:
    case ControlKind::kEditableList: {
      auto* list = new QComboBox(this);
      for (std::string_view item : model_.items(control.id)) list->addItem(fromView(item));
      if (control.kind == ControlKind::kEditableList) {
        list->setEditable(true);
        list->setInsertPolicy(QComboBox::NoInsert);
      }
      created = list;
      break;
    }
    case ControlKind::kButton: {
      auto* button = new QPushButton(text, this);
      button->setAutoDefault(false);
      if (control.id == kOk) button->setDefault(true);
      if (control.id == kBrowse) button->setFixedWidth(editWidth(button, 3));
      created = button;
      break;
    }
  }
  created->setObjectName(settingsWidgetName(control.id));
  widgets_[control.id] = created;
}

template <typename Action>
void CSettingsWindow::act(Action action, bool refocus) {
  if (showing_) return;  // our own updates of the widgets are no user action
  action();
  showModel();
  // A refused OK puts the focus into the control it names.
  if (refocus && model_.state() == DialogState::kOpen) showFocus();
  if (model_.state() == DialogState::kConfirmed) accept();
  if (model_.state() == DialogState::kCancelled) QDialog::reject();
}

void CSettingsWindow::connectWidget(const RControlEntry& control) {
  const ControlId id = control.id;
  QWidget* target = widget(id);
  if (auto* edit = qobject_cast<QLineEdit*>(target)) {
    connect(edit, &QLineEdit::textEdited, this, [this, id](const QString& text) {
      act([&] { model_.setText(id, text.toStdString()); });
    });
  } else if (auto* box = qobject_cast<QCheckBox*>(target)) {
    connect(box, &QCheckBox::clicked, this,
            [this, id](bool checked) { act([&] { model_.setChecked(id, checked); }); });
  } else if (auto* list = qobject_cast<QComboBox*>(target)) {
    connect(list, &QComboBox::activated, this,
            [this, id](int index) { act([&] { model_.select(id, index); }); });
    if (QLineEdit* field = list->lineEdit()) {
      connect(field, &QLineEdit::textEdited, this, [this, id](const QString& text) {
        act([&] { model_.setText(id, text.toStdString()); });
      });
    }
  } else if (auto* button = qobject_cast<QPushButton*>(target)) {
    if (control.kind == ControlKind::kRadio) {
      connect(button, &QPushButton::clicked, this,
              [this, id] { act([&] { model_.setChecked(id, true); }); });
    } else if (control.kind == ControlKind::kButton) {
      connect(button, &QPushButton::clicked, this,
              [this, id] { act([&] { model_.press(id); }, id == kOk); });
    }
  }
}

void CSettingsWindow::reject() {
  act([&] { model_.press(kCancel); });
}

void CSettingsWindow::showModel() {
  showing_ = true;
  for (const auto& [id, target] : widgets_) {
    target->setEnabled(model_.enabled(id));
    const QString text = QString::fromStdString(model_.text(id));
    if (auto* edit = qobject_cast<QLineEdit*>(target)) {
      if (edit->text() != text) {
        edit->setText(text);
        edit->setCursorPosition(0);  // a long path shows its beginning
      }
    } else if (auto* list = qobject_cast<QComboBox*>(target)) {
      // An editable list keeps its last item while the user types into its
      // field: clearing it would clear the field and move the cursor.
      const int selection = model_.selection(id);
      if (list->currentIndex() != selection && (selection >= 0 || !list->isEditable())) {
        list->setCurrentIndex(selection);
      }
      if (list->isEditable() && list->currentText() != text) list->setEditText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(target)) {
      if (button->isCheckable()) button->setChecked(model_.checked(id));
    } else if (auto* label = qobject_cast<QLabel*>(target)) {
      if (label->text() != text) label->setText(text);
    }
  }
  showing_ = false;
}

void CSettingsWindow::showFocus() {
  QWidget* focused = widget(model_.focus());
  focused->setFocus();
  if (auto* edit = qobject_cast<QLineEdit*>(focused)) edit->selectAll();
}

void CSettingsWindow::layOut() {
  const bool compact = model_.templateId() == kSettingsTemplateCompact;
  const int spacing = compact ? 1 : 3;

  auto box = [&](ControlId id) { return static_cast<QGroupBox*>(widget(id)); };
  // The rows of a box or column, top to bottom.
  auto rows = [&](QWidget* parent) {
    auto* layout = new QVBoxLayout(parent);
    layout->setSpacing(spacing);
    if (compact) layout->setContentsMargins(3, 1, 3, 3);
    return layout;
  };
  // One row: the controls left to right, the rest of the width empty.
  auto line = [&](QBoxLayout* into, std::initializer_list<ControlId> ids, int indent = 0) {
    auto* layout = new QHBoxLayout;
    layout->setSpacing(spacing + 3);
    if (indent > 0) layout->addSpacing(indent);
    for (ControlId id : ids) layout->addWidget(widget(id));
    layout->addStretch();
    into->addLayout(layout);
  };
  // Rows of label, field and unit whose fields line up.
  auto aligned = [&](QBoxLayout* into, std::initializer_list<std::vector<ControlId>> table) {
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(spacing + 3);
    grid->setVerticalSpacing(spacing);
    int r = 0;
    for (const std::vector<ControlId>& ids : table) {
      grid->addWidget(widget(ids[0]), r, 0);
      auto* field = new QHBoxLayout;
      field->setSpacing(spacing + 3);
      for (std::size_t i = 1; i < ids.size(); ++i) field->addWidget(widget(ids[i]));
      field->addStretch();
      grid->addLayout(field, r++, 1);
    }
    into->addLayout(grid);
  };

  // Column "Parameters affecting both passes".
  QVBoxLayout* both = rows(box(kGroupBoth));
  line(both, {kSourceAspectLabel});
  line(both, {kSourceAspect});
  line(both, {kVideoTypeLabel});
  line(both, {kVideoType});
  line(both, {kRollingShutter});
  line(both, {kAmountLabel, kAmount, kAmountUnit}, 16);
  both->addSpacing(spacing * 3);
  line(both, {kLogFileLabel});
  line(both, {kLogFolder, kLogFolderHint});
  line(both, {kLogFile, kLogFileHint});
  line(both, {kAppendToLogFile, kBrowse});
  both->addSpacing(spacing * 3);
  line(both, {kProcessorsLabel, kProcessorCount});
  both->addStretch();

  // Column "Pass 1 parameters".
  QVBoxLayout* pass1 = rows(box(kGroupPass1));
  line(pass1, {kVideoOutputLabel, kVideoOutput});
  QVBoxLayout* matching = rows(box(kGroupImageMatching));
  aligned(matching, {{kBlockSizeLabel, kBlockSize, kBlockSizeUnit},
                     {kScaleLabel, kScale},
                     {kUsePixelsLabel, kUsePixels},
                     {kColorModeLabel, kColorMode},
                     {kInitialSearchRangeLabel, kInitialSearchRange, kInitialSearchRangeUnit},
                     {kDifferentialSearchRangeLabel, kDifferentialSearchRange,
                      kDifferentialSearchRangeUnit}});
  pass1->addWidget(box(kGroupImageMatching));
  QVBoxLayout* discard = rows(box(kGroupDiscard));
  line(discard, {kDiscardMatchValueLabel, kDiscardMatchValue, kDiscardMatchValueUnit});
  line(discard, {kDiscardSecondBestLabel, kDiscardSecondBest});
  line(discard, {kDiscardWrongDirectionLabel, kDiscardWrongDirection, kDiscardWrongDirectionUnit});
  line(discard, {kDiscardAbsoluteMotionLabel, kDiscardAbsoluteMotion, kDiscardAbsoluteMotionUnit});
  line(discard, {kRememberDiscardedAreas});
  pass1->addWidget(box(kGroupDiscard));
  line(pass1, {kDeepAnalysisLabel, kDeepAnalysis, kDeepAnalysisUnit});
  line(pass1, {kSkipFrameLabel, kSkipFrame, kSkipFrameUnit});
  {
    auto* ignore = new QGridLayout(box(kGroupIgnore));
    ignore->setHorizontalSpacing(spacing + 3);
    ignore->setVerticalSpacing(spacing);
    if (compact) ignore->setContentsMargins(3, 1, 3, 3);
    const ControlId table[3][5] = {
        {kFromBorderLabel, kLeftHead, kRightHead, kTopHead, kBottomHead},
        {kIgnoreOutside, kOutsideLeft, kOutsideRight, kOutsideTop, kOutsideBottom},
        {kIgnoreInside, kInsideLeft, kInsideRight, kInsideTop, kInsideBottom},
    };
    for (int r = 0; r < 3; ++r) {
      for (int c = 0; c < 5; ++c) {
        QWidget* cell = widget(table[r][c]);
        if (r > 0 && c > 0) cell->setFixedWidth(editWidth(cell, 4));
        ignore->addWidget(cell, r == 2 ? 3 : r, c);
      }
    }
    ignore->addWidget(widget(kIgnoreAreaFollowsMotion), 2, 0, 1, 5);
    auto* darker = new QHBoxLayout;
    darker->setSpacing(spacing + 3);
    for (ControlId id : {kIgnoreDarker, kDarkerThanPercent, kDarkerThanPercentUnit}) {
      darker->addWidget(widget(id));
    }
    darker->addStretch();
    ignore->addLayout(darker, 4, 0, 1, 5);
    ignore->setColumnStretch(5, 1);
    pass1->addWidget(box(kGroupIgnore));
  }
  pass1->addStretch();

  // Column "Pass 2 parameters".
  QVBoxLayout* pass2 = rows(box(kGroupPass2));
  line(pass2, {kSameDestAsSource});
  aligned(pass2,
          {{kDestAspectLabel, kDestAspect}, {kDestSizeLabel, kDestWidth, kDestSizeX, kDestHeight}});
  line(pass2, {kInterlacedProgressive});
  aligned(pass2, {{kResamplingLabel, kResampling}, {kEdgeCompensationLabel, kEdgeCompensation}});
  line(pass2, {kFillBorders});
  aligned(pass2, {{kPreviousFramesLabel, kPreviousFrames}, {kFutureFramesLabel, kFutureFrames}});
  line(pass2, {kSoftBorders, kEdgeTransitionWidth, kEdgeTransitionWidthUnit});
  line(pass2, {kExtrapolateColors});
  line(pass2, {kExtraZoomLabel, kExtraZoom});
  aligned(rows(box(kGroupSmoothness)), {{kSmoothHorizontalLabel, kSmoothHorizontal},
                                        {kSmoothVerticalLabel, kSmoothVertical},
                                        {kSmoothRotationLabel, kSmoothRotation},
                                        {kSmoothZoomLabel, kSmoothZoom}});
  pass2->addWidget(box(kGroupSmoothness));
  aligned(rows(box(kGroupLimits)), {{kLimitHorizontalLabel, kLimitHorizontal},
                                    {kLimitVerticalLabel, kLimitVertical},
                                    {kLimitRotationLabel, kLimitRotation},
                                    {kLimitZoomLabel, kLimitZoom}});
  pass2->addWidget(box(kGroupLimits));
  pass2->addStretch();

  // The columns under their pass buttons, and the bottom row.
  auto* top = new QGridLayout(this);
  top->setHorizontalSpacing(spacing * 2 + 2);
  top->setVerticalSpacing(spacing + 1);
  if (compact) top->setContentsMargins(4, 4, 4, 4);
  const ControlId heads[] = {kPassBoth, kPass1, kPass2};
  const ControlId columns[] = {kGroupBoth, kGroupPass1, kGroupPass2};
  for (int c = 0; c < 3; ++c) {
    top->addWidget(widget(heads[c]), 0, c);
    top->addWidget(widget(columns[c]), 1, c);
  }
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(widget(kVersionText));
  bottom->addStretch();
  bottom->addWidget(widget(kWebPage));
  bottom->addSpacing(spacing * 4);
  bottom->addWidget(widget(kOk));
  bottom->addWidget(widget(kCancel));
  top->addLayout(bottom, 2, 0, 1, 3);
  top->setSizeConstraint(QLayout::SetFixedSize);
}
