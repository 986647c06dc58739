#include "velloran_dialog_qt.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTextCursor>
#include <QThread>
#include <algorithm>

#include "dialog_template.h"
#include "dialog_units.h"
#include "file_filter.h"
#include "resource.h"

// The icon comes from a resource of this static library, which only an
// explicit call keeps in the program.
static void LoadDialogResources() { Q_INIT_RESOURCE(velloran); }

namespace {

QString FromUtf8(const std::string &text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// The dialog font: "MS Shell Dlg" where it exists, else a sans-serif face of
// similar metrics; CJK characters come from the fallback fonts.
QFont DialogFont(const velloran::DialogTemplate &dialog) {
  QFont font;
  font.setFamilies({QString::fromUtf8(dialog.font_face), "MS Shell Dlg 2", "Tahoma", "DejaVu Sans",
                    "WenQuanYi Micro Hei"});
  font.setPointSize(dialog.font_points);
  return font;
}

// "*.*" means every file on Windows; Qt wants "*" for that.
QString NameFilter(const velloran::FileFilterChoice &choice) {
  QStringList patterns;
  for (const QString &pattern : FromUtf8(choice.pattern).split(';', Qt::SkipEmptyParts)) {
    patterns << (pattern.trimmed() == "*.*" ? QString("*") : pattern.trimmed());
  }
  // The details in the last parentheses are hidden in the dialog, so the
  // user sees the name exactly as given.
  return FromUtf8(choice.name) + " (" + patterns.join(' ') + ")";
}

// Rows of a combo box's open list: the entry, and its note (the tool tip
// data) right-aligned in the rest of the row, so that a port shows the
// device it stands for without the device becoming part of its text.
class NotedEntryDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override {
    QStyledItemDelegate::paint(painter, option, index);
    const QString note = index.data(Qt::ToolTipRole).toString();
    if (note.isEmpty()) return;
    const QFontMetrics metrics(option.font);
    const int gap = metrics.horizontalAdvance("  ");
    const QRect row = option.rect.adjusted(gap, 0, -gap / 2, 0);
    const int room = row.width() - metrics.horizontalAdvance(index.data(Qt::DisplayRole).toString()) - gap;
    if (room <= 0) return;
    painter->save();
    painter->setFont(option.font);
    painter->setPen(option.palette.color(option.state & QStyle::State_Selected ? QPalette::HighlightedText
                                                                               : QPalette::PlaceholderText));
    painter->drawText(row, Qt::AlignRight | Qt::AlignVCenter, metrics.elidedText(note, Qt::ElideLeft, room));
    painter->restore();
  }

  QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    const QString note = index.data(Qt::ToolTipRole).toString();
    if (!note.isEmpty()) {
      const QFontMetrics metrics(option.font);
      size.rwidth() += metrics.horizontalAdvance("  ") * 2 + metrics.horizontalAdvance(note);
    }
    return size;
  }
};

QColor FromColorRef(uint32_t color) { return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF); }

QString ProgressStyle(const QColor &bar) {
  return QString("QProgressBar { border: 1px solid #a0a0a0; background-color: #f0f0f0; }"
                 "QProgressBar::chunk { background-color: %1; }")
      .arg(bar.name());
}

}  // namespace

QtVelloranDialog::QtVelloranDialog(velloran::DialogServices services, QWidget *parent)
    : QDialog(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                  Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      ui_call_([this](velloran::UiThreadCall::Task task) { QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection); },
               [this] { return QThread::currentThread() == thread(); }),
      logic_(*this, std::move(services)) {
  BuildControls();
  logic_.OnInitDialog();
}

QtVelloranDialog::~QtVelloranDialog() {
  ui_call_.BeginClosing();
  if (registered_) velloran::SetUpgradeWindow(nullptr);
}

void QtVelloranDialog::RegisterAsUpgradeWindow() {
  registered_ = true;
  velloran::SetUpgradeWindow(this);
}

void QtVelloranDialog::BuildControls() {
  using velloran::ControlKind;
  const velloran::DialogTemplate &dialog = velloran::MainDialogTemplate();
  setWindowTitle(QString::fromUtf8(dialog.title));
  LoadDialogResources();
  setWindowIcon(QIcon(":/velloran.ico"));
  setFont(DialogFont(dialog));
  QFontMetrics metrics(font());
  velloran::DialogUnits units(metrics.horizontalAdvance(velloran::kDialogUnitAlphabet), metrics.height());
  setFixedSize(units.ToPixelsX(dialog.cx), units.ToPixelsY(dialog.cy));

  radio_group_ = new QButtonGroup(this);
  radio_group_->setExclusive(true);
  std::vector<QWidget *> in_order;
  QWidget *previous_tab = nullptr;
  for (const velloran::ControlTemplate &spec : dialog.controls) {
    QString text = QString::fromUtf8(spec.text);
    QWidget *widget = nullptr;
    switch (spec.kind) {
      case ControlKind::kRadioButton: {
        auto *radio = new QRadioButton(text, this);
        radio_group_->addButton(radio, spec.id);
        widget = radio;
        break;
      }
      case ControlKind::kComboBox: {
        auto *box = new QComboBox(this);
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);  // typed text is not added to the list
        box->setItemDelegate(new NotedEntryDelegate(box));
        // The field is as narrow as the template makes it (39 units); the
        // line edit's own padding of 2 pixels a side would scroll the last
        // digit of "COM10 " out of view once the caret stands behind it.
        box->lineEdit()->setTextMargins(-2, 0, -2, 0);
        // A chosen entry shows from its first letter, whatever the caret did.
        connect(box, &QComboBox::currentIndexChanged, box, [box] { box->lineEdit()->setCursorPosition(0); });
        widget = box;
        break;
      }
      case ControlKind::kEdit:
        widget = new QLineEdit(this);
        break;
      case ControlKind::kLogEdit: {
        auto *log = new QPlainTextEdit(this);
        log->setReadOnly(true);
        log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        widget = log;
        break;
      }
      case ControlKind::kPushButton: {
        auto *button = new QPushButton(text, this);
        button->setAutoDefault(false);  // neither button is the default one
        widget = button;
        break;
      }
      case ControlKind::kGroupBox:
        widget = new QGroupBox(text, this);
        break;
      case ControlKind::kProgressBar: {
        auto *bar = new QProgressBar(this);
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setTextVisible(false);
        bar->setStyleSheet(ProgressStyle(palette().color(QPalette::Highlight)));
        widget = bar;
        break;
      }
    }
    velloran::DialogRect r = units.ToPixels(spec.rect);
    if (auto *box = qobject_cast<QComboBox *>(widget)) {
      // A combo box's height in the template includes its drop-down list;
      // the closed box is as high as its font needs.
      int closed = box->sizeHint().height();
      box->setMaxVisibleItems(std::max(1, (r.cy - closed) / (metrics.height() + 2)));
      box->view()->setMinimumWidth(r.cx * 3);  // room for the notes beside the entries
      r.cy = closed;
    }
    widget->setGeometry(r.x, r.y, r.cx, r.cy);
    widget->setVisible(spec.visible);
    if (spec.kind == ControlKind::kGroupBox || spec.kind == ControlKind::kProgressBar) {
      widget->setFocusPolicy(Qt::NoFocus);
    } else if (spec.tab_stop) {
      widget->setFocusPolicy(Qt::StrongFocus);
      if (previous_tab) setTabOrder(previous_tab, widget);
      previous_tab = widget;
    } else {
      widget->setFocusPolicy(Qt::ClickFocus);
    }
    if (spec.id != IDC_STATIC) controls_[spec.id] = widget;
    in_order.push_back(widget);
  }
  // The first control of the template lies on top.
  for (auto it = in_order.rbegin(); it != in_order.rend(); ++it) (*it)->raise();

  m_progress = static_cast<QProgressBar *>(controls_.at(IDC_PROGRESS));
  m_editLog = static_cast<QPlainTextEdit *>(controls_.at(IDC_EDIT_LOG));
  m_comboPort = combo(IDC_COMBO_PORT);

  connect(static_cast<QPushButton *>(controls_.at(IDC_BUTTON_OPEN)), &QPushButton::clicked, this,
          [this] { logic_.OnBnClickedOpen(); });
  connect(static_cast<QPushButton *>(controls_.at(IDC_BUTTON_LOAD)), &QPushButton::clicked, this,
          [this] { logic_.OnBnClickedLoad(); });
  connect(m_comboPort, &QComboBox::activated, this, [this] { logic_.OnCbnSelchangeComboPort(); });
}

QWidget *QtVelloranDialog::control(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

QComboBox *QtVelloranDialog::combo(int id) const { return qobject_cast<QComboBox *>(control(id)); }

bool QtVelloranDialog::IsChecked(int id) const {
  auto *radio = qobject_cast<QRadioButton *>(control(id));
  return radio != nullptr && radio->isChecked();
}

std::string QtVelloranDialog::GetText(int id) const {
  if (id == IDC_EDIT_LOG) return log_text_;
  QWidget *widget = control(id);
  if (auto *box = qobject_cast<QComboBox *>(widget)) return box->currentText().toStdString();
  if (auto *edit = qobject_cast<QLineEdit *>(widget)) return edit->text().toStdString();
  if (auto *button = qobject_cast<QAbstractButton *>(widget)) return button->text().toStdString();
  return {};
}

void QtVelloranDialog::SetText(int id, const std::string &text) {
  if (id == IDC_EDIT_LOG) {
    // The box shows "\n" line ends; the text keeps "\r\n" as written.
    // Appending only the new tail keeps a long log cheap.
    if (text.compare(0, log_text_.size(), log_text_) == 0) {
      QString tail = FromUtf8(text.substr(log_text_.size()));
      tail.replace("\r\n", "\n");
      QTextCursor cursor(m_editLog->document());
      cursor.movePosition(QTextCursor::End);
      cursor.insertText(tail);
    } else {
      m_editLog->setPlainText(FromUtf8(text).replace("\r\n", "\n"));
    }
    log_text_ = text;
    return;
  }
  QWidget *widget = control(id);
  if (auto *box = qobject_cast<QComboBox *>(widget)) box->setEditText(FromUtf8(text));
  if (auto *edit = qobject_cast<QLineEdit *>(widget)) edit->setText(FromUtf8(text));
}

// The combos keep their entries sorted as text, ignoring case.
void QtVelloranDialog::AddComboEntry(int id, const std::string &text) { AddComboEntryWithNote(id, text, {}); }

void QtVelloranDialog::AddComboEntryWithNote(int id, const std::string &text, const std::string &note) {
  QComboBox *box = combo(id);
  if (!box) return;
  QString entry = FromUtf8(text);
  int index = 0;
  while (index < box->count() && QString::compare(box->itemText(index), entry, Qt::CaseInsensitive) <= 0) ++index;
  box->insertItem(index, entry);
  if (!note.empty()) box->setItemData(index, FromUtf8(note), Qt::ToolTipRole);
}

void QtVelloranDialog::InsertComboEntry(int id, int index, const std::string &text) {
  if (QComboBox *box = combo(id)) box->insertItem(index, FromUtf8(text));
}

void QtVelloranDialog::SelectComboEntry(int id, int index) {
  QComboBox *box = combo(id);
  if (!box) return;
  box->setCurrentIndex(index >= 0 && index < box->count() ? index : -1);
}

void QtVelloranDialog::ScrollToBottom(int id) {
  if (id != IDC_EDIT_LOG) return;
  QScrollBar *bar = m_editLog->verticalScrollBar();
  bar->setValue(bar->maximum());
}

void QtVelloranDialog::SetBarColor(int id, uint32_t color) {
  if (id == IDC_PROGRESS) m_progress->setStyleSheet(ProgressStyle(FromColorRef(color)));
}

void QtVelloranDialog::SetBarPosition(int id, int position) {
  if (id == IDC_PROGRESS) m_progress->setValue(position);
}

std::optional<std::string> QtVelloranDialog::ChooseFileToOpen(const std::string &filter) {
  QStringList filters;
  for (const velloran::FileFilterChoice &choice : velloran::ParseFileFilter(filter)) filters << NameFilter(choice);
  QFileDialog dialog(this);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);
  dialog.setNameFilters(filters);
  if (!filters.isEmpty()) dialog.selectNameFilter(filters.front());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return QFileInfo(dialog.selectedFiles().front()).absoluteFilePath().toStdString();
}

void QtVelloranDialog::ShowMessageBox(const std::string &text) {
  QString message = FromUtf8(text);
  ui_call_.Run([this, message] { PresentMessageBox(message); });
}

void QtVelloranDialog::PresentMessageBox(const QString &text) {
  // The caption is the executable's base name.
  QString caption = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
  if (presenter_) {
    presenter_(caption, text);
    return;
  }
  QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok, this);
  open_box_ = &box;
  box.exec();
}

void QtVelloranDialog::OnUpgradeStatus(std::string *text, int code, const velloran::StatusMeaning &) {
  // The line is owned here until the GUI thread takes it; a line that never
  // gets there is freed with the last copy of the task.
  auto line = std::make_shared<std::unique_ptr<std::string>>(text);
  ui_call_.Run([this, line, code] { logic_.OnUpgradeStatus(line->release(), code); });
}

void QtVelloranDialog::done(int result) {
  // A worker waiting for this thread is let go before anything else, and a
  // procedure's message box is closed with the dialog.
  ui_call_.BeginClosing();
  if (open_box_) open_box_->done(QMessageBox::Ok);
  QDialog::done(result);
}

// Enter closes the dialog (as OK) unless a push button has the focus, which
// it then clicks.
void QtVelloranDialog::keyPressEvent(QKeyEvent *event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    if (auto *button = qobject_cast<QPushButton *>(focusWidget())) {
      button->click();
    } else {
      accept();
    }
    return;
  }
  QDialog::keyPressEvent(event);
}
