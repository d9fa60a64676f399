#include "app/qt/finstall_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QScreen>
#include <QPainter>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <exception>

#include "app/application.h"
#include "app/qt/glyphs.h"
#include "app/qt/look.h"
#include "app/qt/qt_operator.h"

namespace nx {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

Qt::Alignment ToQt(TAlignment a) {
  switch (a) {
    case TAlignment::taCenter: return Qt::AlignHCenter | Qt::AlignTop;
    case TAlignment::taRightJustify: return Qt::AlignRight | Qt::AlignTop;
    case TAlignment::taLeftJustify: break;
  }
  return Qt::AlignLeft | Qt::AlignTop;
}

// Text colour and, for controls that paint their own ground, the background.
void SetColours(QWidget* w, const TControl& c, QPalette::ColorRole ground) {
  QPalette p = w->palette();
  p.setColor(QPalette::WindowText, ToQColor(c.Font().Color));
  p.setColor(QPalette::Text, ToQColor(c.Font().Color));
  p.setColor(QPalette::ButtonText, ToQColor(c.Font().Color));
  if (ground != QPalette::NoRole) p.setColor(ground, ToQColor(c.Color()));
  w->setPalette(p);
}

// The key sequence of a stored shortcut value; letters and digits only, which is all the
// window uses.
QKeySequence ToKeySequence(uint16_t shortCut) {
  const int key = shortCut & 0xFF;
  if (!((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9'))) return QKeySequence();
  Qt::KeyboardModifiers mods;
  if (shortCut & TAction::kCtrl) mods |= Qt::ControlModifier;
  if (shortCut & TAction::kAlt) mods |= Qt::AltModifier;
  if (shortCut & TAction::kShift) mods |= Qt::ShiftModifier;
  return QKeySequence(QKeyCombination(mods, static_cast<Qt::Key>(key)));
}


// The check list's current item gets the thin dotted frame of the original system, not the
// style's filled one, which reads as a selection.
class DottedFocusDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyleOptionViewItem plain(option);
    const bool focus = plain.state & QStyle::State_HasFocus;
    plain.state &= ~QStyle::State_HasFocus;
    QStyledItemDelegate::paint(painter, plain, index);
    if (focus) {
      painter->save();
      painter->setPen(QPen(option.palette.color(QPalette::Text), 1, Qt::DotLine));
      painter->setBrush(Qt::NoBrush);
      painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
      painter->restore();
    }
  }
};

}  // namespace

// What the operator does reaches the window's handlers here; an error a handler raises is shown
// to the operator, as the application's default error handler does, and the window carries on.
template <typename F>
void FInstallWindow::Guarded(FInstallWindow* window, F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    window->ReportError(e.what());
  }
}

void FInstallWindow::ReportError(const std::string& text) {
  if (OnHandlerError) {
    OnHandlerError(text);
    return;
  }
  QMessageBox::critical(this, kApplicationTitle, Q(ToDisplayLines(text)));
}

FInstallWindow::FInstallWindow(TFInstalacion& form) : QWidget(nullptr), form_(form) {
  // A fixed tool window: small caption, close box only, not resizable.
  setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setAutoFillBackground(true);
  QPalette p = palette();
  p.setColor(QPalette::Window, ToQColor(form.Color()));
  setPalette(p);
  setFont(ToQFont(form.Font()));

  for (TControl* c : form.Controls()) Bind(*c);
  FormChanged();

  const QKeySequence keys = ToKeySequence(form.Action1.ShortCut);
  if (!keys.isEmpty()) {
    auto* shortcut = new QShortcut(keys, this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this,
            [this] { Guarded(this, [this] { form_.Action1.Execute(); }); });
  }
  form.SetView(this);
}

FInstallWindow::~FInstallWindow() {
  form_.SetView(nullptr);
  if (overrideCursor_) QApplication::restoreOverrideCursor();
}

void FInstallWindow::ShowCentred() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen != nullptr) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  show();
}

QWidget* FInstallWindow::WidgetOf(const TControl& control) const {
  const auto it = bindings_.find(&control);
  return it == bindings_.end() ? nullptr : it->second.widget;
}

QLabel* FInstallWindow::LabelOf(const TLabeledEdit& edit) const {
  const auto it = bindings_.find(&edit);
  return it == bindings_.end() ? nullptr : it->second.label;
}

void FInstallWindow::SyncCommon(const TControl& c, QWidget* w) {
  w->setFont(ToQFont(c.Font()));
  w->setGeometry(c.Left(), c.Top(), c.Width(), c.Height());
  switch (c.Cursor()) {
    case TCursor::crHandPoint: w->setCursor(Qt::PointingHandCursor); break;
    case TCursor::crHourGlass: w->setCursor(Qt::WaitCursor); break;
    case TCursor::crDefault: w->unsetCursor(); break;
  }
  w->setVisible(c.Visible());
}

void FInstallWindow::SyncPicture(const TImage& image, QLabel* label) {
  auto& shown = shownPictures_[&image];
  if (shown == image.Picture() && !label->pixmap().isNull()) return;
  shown = image.Picture();
  QPixmap picture;
  if (!image.Picture().empty() &&
      !picture.loadFromData(reinterpret_cast<const uchar*>(image.Picture().data()),
                            static_cast<uint>(image.Picture().size()), "PNG")) {
    // A picture the decoder refuses gives way to the built-in banner.
    if (&image == &form_.Imagen && image.Picture() != form_.Copia.Picture()) {
      form_.Imagen.SetPicture(form_.Copia.Picture());
      return;
    }
  }
  label->setPixmap(picture);
}

void FInstallWindow::Bind(TControl& control) {
  QWidget* parent = this;
  if (control.Parent() != nullptr) parent = bindings_.at(control.Parent()).widget;
  Binding b;

  if (auto* edit = dynamic_cast<TEdit*>(&control)) {
    auto* line = new QLineEdit(parent);
    b.widget = line;
    auto* labelled = dynamic_cast<TLabeledEdit*>(edit);
    if (labelled != nullptr) b.label = new QLabel(parent);
    QLabel* label = b.label;
    b.sync = [this, edit, labelled, line, label] {
      SyncCommon(*edit, line);
      SetColours(line, *edit, QPalette::Base);
      if (line->text() != Q(edit->Text())) {
        line->setText(Q(edit->Text()));
        // A text set by the program shows from its start, as a Windows edit shows it; the
        // status line's time stamp would otherwise scroll out of sight.
        if (!line->hasFocus()) line->setCursorPosition(0);
      }
      line->setReadOnly(edit->ReadOnly());
      if (labelled != nullptr) {
        label->setFont(ToQFont(edit->Font()));
        SetColours(label, *edit, QPalette::NoRole);
        label->setText(Q(labelled->LabelCaption()));
        label->adjustSize();
        label->move(edit->Left(),
                    edit->Top() - label->height() - TLabeledEdit::LabelSpacing);
        label->setVisible(edit->Visible());
      }
    };
    connect(line, &QLineEdit::textEdited, this, [this, edit](const QString& text) {
      Guarded(this, [&] { edit->SetText(text.toStdString()); });
    });
  } else if (auto* text = dynamic_cast<TLabel*>(&control)) {
    auto* label = new QLabel(parent);
    b.widget = label;
    b.sync = [this, text, label] {
      SyncCommon(*text, label);
      SetColours(label, *text, QPalette::NoRole);
      label->setAlignment(ToQt(text->Alignment()));
      label->setText(Q(text->Caption()));
      if (text->AutoSize()) label->adjustSize();
    };
  } else if (auto* panel = dynamic_cast<TPanel*>(&control)) {
    auto* frame = new QFrame(parent);
    frame->setAutoFillBackground(true);
    b.widget = frame;
    b.sync = [this, panel, frame] {
      SyncCommon(*panel, frame);
      QPalette p = frame->palette();
      p.setColor(QPalette::Window, ToQColor(panel->Color()));
      frame->setPalette(p);
      if (panel->Border() == TPanelBorder::kFlat) {
        // The plain frame draws its line in the text colour; the panel's children set theirs.
        p.setColor(QPalette::WindowText, ToQColor(clBtnShadow));
        frame->setPalette(p);
        frame->setFrameStyle(QFrame::Box | QFrame::Plain);
        frame->setLineWidth(1);
      } else {
        frame->setFrameStyle(QFrame::NoFrame);
      }
    };
  } else if (auto* image = dynamic_cast<TImage*>(&control)) {
    auto* label = new QLabel(parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    b.widget = label;
    b.sync = [this, image, label] {
      SyncCommon(*image, label);
      SyncPicture(*image, label);
    };
  } else if (auto* list = dynamic_cast<TCheckListBox*>(&control)) {
    auto* widget = new QListWidget(parent);
    widget->setUniformItemSizes(true);
    // The items are choices, not a selection: only their ticks matter.
    widget->setSelectionMode(QAbstractItemView::NoSelection);
    widget->setItemDelegate(new DottedFocusDelegate(widget));
    widget->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    b.widget = widget;
    b.sync = [this, list, widget] {
      SyncCommon(*list, widget);
      SetColours(widget, *list, QPalette::Base);
      const auto& items = list->Items();
      if (widget->count() != static_cast<int>(items.size())) {
        widget->clear();
        for (size_t i = 0; i < items.size(); ++i) {
          auto* item = new QListWidgetItem(widget);
          item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        }
      }
      for (int i = 0; i < widget->count(); ++i) {
        QListWidgetItem* item = widget->item(i);
        item->setText(Q(items[i]));
        item->setSizeHint(QSize(0, list->ItemHeight()));
        item->setCheckState(list->Checked(i) ? Qt::Checked : Qt::Unchecked);
      }
    };
    // Only the operator's toggles get here (the window's own are made while syncing): the tick
    // goes to the window, which runs its handler.
    connect(widget, &QListWidget::itemChanged, this, [this, list, widget](QListWidgetItem* item) {
      if (syncing_ > 0) return;
      const int index = widget->row(item);
      if (index < 0 || index >= static_cast<int>(list->Items().size())) return;
      const bool ticked = item->checkState() == Qt::Checked;
      if (ticked != list->Checked(index)) Guarded(this, [&] { list->ClickCheck(index); });
      // Whatever the handler left is what shows.
      ControlChanged(*list);
    });
  } else if (auto* box = dynamic_cast<TCheckBox*>(&control)) {
    auto* check = new QCheckBox(parent);
    b.widget = check;
    b.sync = [this, box, check] {
      SyncCommon(*box, check);
      SetColours(check, *box, QPalette::NoRole);
      check->setText(Q(box->Caption()));
      check->setChecked(box->Checked());
    };
    connect(check, &QCheckBox::clicked, this, [this, box](bool checked) {
      Guarded(this, [&] { box->SetChecked(checked); });
    });
  } else if (auto* button = dynamic_cast<TSpeedButton*>(&control)) {
    auto* tool = new QToolButton(parent);
    tool->setFocusPolicy(Qt::NoFocus);  // speed buttons never take the focus
    b.widget = tool;
    b.sync = [this, button, tool] {
      SyncCommon(*button, tool);
      SetColours(tool, *button, QPalette::NoRole);
      tool->setAutoRaise(button->Flat());
      tool->setText(Q(button->Caption()));
      tool->setIcon(GlyphIcon(button->Glyph()));
      tool->setIconSize(GlyphSize(button->Glyph()));
      if (button->Caption().empty())
        tool->setToolButtonStyle(Qt::ToolButtonIconOnly);
      else if (button->Layout() == TButtonLayout::blGlyphTop)
        tool->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
      else
        tool->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    };
    connect(tool, &QToolButton::clicked, this,
            [this, button] { Guarded(this, [&] { button->Click(); }); });
  } else if (auto* combo = dynamic_cast<TComboBox*>(&control)) {
    auto* widget = new QComboBox(parent);
    widget->setEditable(true);
    widget->setInsertPolicy(QComboBox::NoInsert);
    b.widget = widget;
    b.sync = [this, combo, widget] {
      SyncCommon(*combo, widget);
      SetColours(widget, *combo, QPalette::Base);
      QStringList items;
      for (const auto& item : combo->Items()) items << Q(item);
      QStringList shown;
      for (int i = 0; i < widget->count(); ++i) shown << widget->itemText(i);
      if (shown != items) {
        widget->clear();
        widget->addItems(items);
      }
      widget->setCurrentIndex(combo->ItemIndex());
      if (widget->currentText() != Q(combo->Text())) widget->setEditText(Q(combo->Text()));
    };
    connect(widget, &QComboBox::activated, this, [this, combo](int index) {
      Guarded(this, [&] { combo->SetItemIndex(index); });
    });
    connect(widget->lineEdit(), &QLineEdit::textEdited, this, [this, combo](const QString& text) {
      Guarded(this, [&] { combo->SetText(text.toStdString()); });
    });
  } else if (auto* bar = dynamic_cast<TProgressBar*>(&control)) {
    auto* widget = new QProgressBar(parent);
    widget->setTextVisible(false);
    b.widget = widget;
    b.sync = [this, bar, widget] {
      SyncCommon(*bar, widget);
      // An empty range would make the bar an endless "busy" animation; it is an empty bar.
      if (bar->Max() > bar->Min()) {
        widget->setRange(bar->Min(), bar->Max());
        widget->setValue(std::clamp(bar->Position(), bar->Min(), std::max(bar->Min(), bar->Max())));
      } else {
        widget->setRange(0, 1);
        widget->setValue(0);
      }
    };
  } else {
    return;
  }

  b.widget->setObjectName(Q(control.Name()));
  auto& stored = bindings_[&control] = std::move(b);
  ++syncing_;
  stored.sync();
  --syncing_;
}

void FInstallWindow::ControlChanged(const TControl& control) {
  const auto it = bindings_.find(&control);
  if (it == bindings_.end()) return;
  ++syncing_;
  it->second.sync();
  --syncing_;
}

void FInstallWindow::FormChanged() {
  setWindowTitle(Q(form_.Caption()));
  setFixedSize(form_.ClientWidth(), form_.ClientHeight());
  const bool busy = form_.ScreenCursor() == TCursor::crHourGlass;
  if (busy && !overrideCursor_) QApplication::setOverrideCursor(Qt::WaitCursor);
  if (!busy && overrideCursor_) QApplication::restoreOverrideCursor();
  overrideCursor_ = busy;
}

void FInstallWindow::ProcessMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void FInstallWindow::FormClosed() {
  if (!closing_) hide();
  if (OnClosed) OnClosed();
}

bool FInstallWindow::event(QEvent* e) {
  if (e->type() == QEvent::WindowActivate) Guarded(this, [this] { form_.Activate(); });
  return QWidget::event(e);
}

void FInstallWindow::closeEvent(QCloseEvent* e) {
  // The close box: the window closes as "Cancelar" closes it.
  if (!form_.Closed()) {
    closing_ = true;
    form_.Close();
    closing_ = false;
  }
  e->accept();
}

}  // namespace nx
