// The set-time dialog "Время суток": the date and the time of day the clock starts from.
#include "console/set_time_dialog.h"

#include <QDateEdit>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>

#include "area/date_time.h"
#include "console/console_fonts.h"

namespace traklin {

TfmSetTime::TfmSetTime(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint) {
  setObjectName(QStringLiteral("fmSetTime"));
  setWindowTitle(QStringLiteral("Время суток"));
  setFont(PixelFont(QStringLiteral("Tahoma"), 11));
  // The date is shown the Russian way ("06.12.2024"), whatever the system's locale.
  setLocale(QLocale(QLocale::Russian, QLocale::Russia));
  setFixedSize(216, 151);

  dpDate = new QDateEdit(this);
  dpDate->setObjectName(QStringLiteral("dpDate"));
  dpDate->setCalendarPopup(true);
  dpDate->setGeometry(39, 24, 124, 21);

  seHours = new QSpinBox(this);
  seHours->setObjectName(QStringLiteral("seHours"));
  seHours->setRange(0, 23);
  seHours->setGeometry(39, 67, 55, 22);

  seMinutes = new QSpinBox(this);
  seMinutes->setObjectName(QStringLiteral("seMinutes"));
  seMinutes->setRange(0, 59);
  seMinutes->setGeometry(108, 67, 55, 22);

  btOK = new QPushButton(QStringLiteral("OK"), this);
  btOK->setObjectName(QStringLiteral("btOK"));
  btOK->setGeometry(64, 104, 75, 25);
  btOK->setDefault(true);
  connect(btOK, &QPushButton::clicked, this, &QDialog::accept);
}

void TfmSetTime::Fill(TDateTime t) {
  const DateParts d = DecodeDate(t);
  const TimeParts tp = DecodeTime(t);
  dpDate->setDate(QDate(d.Year, d.Month, d.Day));
  seHours->setValue(tp.Hour);
  seMinutes->setValue(tp.Minute);
}

TDateTime TfmSetTime::Picked() const {
  const QDate date = dpDate->date();
  const TDateTime day = EncodeDate(date.year(), date.month(), date.day());
  return day + seHours->value() / 24.0 + seMinutes->value() / 1440.0;
}

TDateTime TfmSetTime::Execute(TDateTime t) {
  Fill(t);
  if (exec() != QDialog::Accepted) return t;
  return Picked();
}

}  // namespace traklin
