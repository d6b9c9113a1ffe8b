// The train graph windows: the executed graph "График исполненного движения" and the
// normative graph "Нормативный график движения".
#include "console/graph_windows.h"

#include <QAction>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "console/graph_painter.h"

namespace traklin {
namespace {

constexpr int kWindowMargin = 64;

}  // namespace

GraphWindow::GraphWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  view_ = new PictureView(this);
  view_->Background = palette().color(QPalette::Window);
  view_->viewport()->setCursor(Qt::PointingHandCursor);
  view_->viewport()->installEventFilter(this);
  layout->addWidget(view_);

  miSavePng = new QAction(QStringLiteral("Сохранить как PNG…"), this);
  view_->setContextMenuPolicy(Qt::ActionsContextMenu);
  view_->addAction(miSavePng);
  connect(miSavePng, &QAction::triggered, this, [this] { SavePngClick(); });

  ReportError = [this](const QString& text) { QMessageBox::critical(this, QString(), text); };
  AskPngPath = [this] {
    return QFileDialog::getSaveFileName(this, miSavePng->text(), QString(),
                                        QStringLiteral("PNG (*.png)"));
  };

  // Dragging moves the picture with the mouse: the scroll position goes against the movement.
  connect(view_, &PictureView::pressed, this,
          [this](QPoint at, Qt::MouseButton button, Qt::KeyboardModifiers) {
            if (button != Qt::LeftButton) return;
            dragging_ = true;
            dragOffset_ = view_->Offset();
            dragStart_ = at - dragOffset_;
          });
  connect(view_, &PictureView::released, this,
          [this](QPoint, Qt::MouseButton button, Qt::KeyboardModifiers) {
            if (button == Qt::LeftButton) dragging_ = false;
          });
  connect(view_, &PictureView::moved, this, [this](QPoint at, Qt::MouseButtons buttons) {
    if (!dragging_ || !(buttons & Qt::LeftButton)) return;
    const QPoint movement = (at - view_->Offset()) - dragStart_;
    view_->ScrollTo(dragOffset_ - movement);
  });
}

bool GraphWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == view_->viewport() && event->type() == QEvent::Wheel) {
    auto* wheel = static_cast<QWheelEvent*>(event);
    const int delta =
        wheel->angleDelta().y() != 0 ? wheel->angleDelta().y() : wheel->angleDelta().x();
    QScrollBar* bar = wheel->modifiers() & Qt::ShiftModifier ? view_->horizontalScrollBar()
                                                             : view_->verticalScrollBar();
    bar->setValue(bar->value() - delta);
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void GraphWindow::keyPressEvent(QKeyEvent* event) {
  if (OnKeyDown)
    OnKeyDown(event);
  else
    QWidget::keyPressEvent(event);
}

bool GraphWindow::SavePng(const QString& path) {
  if (!view_->Picture.isNull() && view_->Picture.save(path, "PNG")) return true;
  if (ReportError) ReportError(QStringLiteral("Не удалось сохранить ") + path);
  return false;
}

void GraphWindow::SavePngClick() {
  if (!AskPngPath) return;
  const QString path = AskPngPath();
  if (!path.isEmpty()) SavePng(path);
}

void GraphWindow::FitToPicture() {
  const QSize picture = view_->Picture.size() + QSize(kWindowMargin, kWindowMargin);
  const QSize client = size();
  if (client.width() > picture.width() || client.height() > picture.height())
    resize(std::min(client.width(), picture.width()), std::min(client.height(), picture.height()));
}

// ---------------------------------------------------------------------------

TfmGID::TfmGID(Simulation& sim, QWidget* parent)
    : GraphWindow(parent), sim_(sim), graph_(sim.AreaData) {
  setWindowTitle(QStringLiteral("График исполненного движения"));
  resize(1000, 700);
  view_->PaintOverlay = [this](QPainter& p) { PaintCursor(p); };
  miShowPlan = new QAction(QStringLiteral("Показать нормативный график"), this);
  miShowPlan->setObjectName(QStringLiteral("miShowPlan"));
  miShowPlan->setCheckable(true);
  view_->addAction(miShowPlan);
  connect(miShowPlan, &QAction::toggled, this, &TfmGID::ShowPlan);
}

void TfmGID::ShowPlan(bool on) {
  if (miShowPlan->isChecked() != on) miShowPlan->setChecked(on);
  if (graph_.Plan() == on) return;
  graph_.SetPlan(on);
  // The plan lies under the executed lines: the picture is drawn again from the whole log.
  const bool built = graph_.Built();
  Reset();
  if (built) Refresh(std::chrono::nanoseconds::max());
}

void TfmGID::SetScales(int percents, bool kmOnly) {
  graph_.SetScales(percents, kmOnly);
  Reset();
}

void TfmGID::Refresh(std::chrono::nanoseconds budget) {
  if (graph_.Failed()) return;
  const ExecutedGraph::Refreshed r = graph_.Refresh(view_->Picture, sim_.State.PosLog, budget);
  if (r.FitFailed) {
    view_->PictureChanged();
    if (ReportError) ReportError(QString::fromUtf8(kGidScaleError));
    return;
  }
  if (r.Built) {
    view_->PictureChanged();
    FitToPicture();
  } else if (!r.Changed.isEmpty()) {
    view_->Refresh(r.Changed);
  }
  MoveCursor();
}

void TfmGID::MoveCursor() {
  const int c = GraphTimeX(sim_.State.ClockTime);
  if (c == cursor_) return;
  const GraphPainter painter(sim_.AreaData, graph_.Layout(), graph_.Scales());
  if (cursor_ >= 0) view_->Refresh(painter.CursorRect(cursor_));
  cursor_ = c;
  view_->Refresh(painter.CursorRect(cursor_));
}

void TfmGID::PaintCursor(QPainter& p) const {
  if (!graph_.Built() || cursor_ < 0) return;
  GraphPainter(sim_.AreaData, graph_.Layout(), graph_.Scales()).DrawCursor(p, cursor_);
}

void TfmGID::ShowGraph() {
  if (!graph_.Built()) Refresh();
  show();
  raise();
  activateWindow();
}

void TfmGID::Toggle() {
  if (isVisible())
    hide();
  else
    ShowGraph();
}

void TfmGID::Reset() {
  graph_.Reset(view_->Picture);
  cursor_ = -1;
  view_->PictureChanged();
}

// ---------------------------------------------------------------------------

TfmNGDP::TfmNGDP(Simulation& sim, QWidget* parent) : GraphWindow(parent), sim_(sim) {
  setWindowTitle(QStringLiteral("Нормативный график движения"));
  resize(1000, 700);
}

void TfmNGDP::SetScales(int percents, bool kmOnly) {
  percents_ = percents;
  kmOnly_ = kmOnly;
}

void TfmNGDP::SetPicturePath(const std::filesystem::path& file) {
  path_ = file;
}

std::optional<std::string> TfmNGDP::EnsurePictureFile(ExecutedGraph* executed,
                                                      const PictureWriter& write) {
  return EnsureNormativeGraphFile(sim_.AreaData, percents_, kmOnly_, path_, executed, write);
}

bool TfmNGDP::ShowGraph() {
  QImage picture;
  if (!path_.empty()) picture.load(QString::fromStdString(path_.string()), "BMP");
  if (picture.isNull()) {
    if (ReportError)
      ReportError(QStringLiteral("Error reading NGDP.bmp\r\n") +
                  QString::fromStdString(path_.string()));
    return false;
  }
  view_->Picture = picture.convertToFormat(QImage::Format_RGB32);
  view_->PictureChanged();
  FitToPicture();
  show();
  raise();
  activateWindow();
  return true;
}

void TfmNGDP::Toggle() {
  if (isVisible())
    hide();
  else
    ShowGraph();
}

void TfmNGDP::hideEvent(QHideEvent* event) {
  // The picture is large and the file keeps it: it is held only while shown (a minimised
  // window still shows it).
  if (!event->spontaneous()) {
    view_->Picture = QImage();
    view_->PictureChanged();
  }
  GraphWindow::hideEvent(event);
}

}  // namespace traklin
