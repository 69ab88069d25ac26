#include "TDBDateEdit.h"

#include "TDBDataLink.h"

#include <QCalendarWidget>
#include <QEvent>

namespace {
// The lowest date stands for "no date" and shows as an empty box.
const QDate NoDate(1752, 9, 14);
} // namespace

TDBDateEdit::TDBDateEdit(QWidget* parent) : QDateEdit(parent), FLink(new TFieldDataLink(this)) {
    setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    setCalendarPopup(true);
    setMinimumDate(NoDate);
    setSpecialValueText(QStringLiteral(" "));
    FLink->OnDataChange = [this] { LoadFromField(); };
    FLink->OnStateChange = [this] { UpdateState(); };
    FLink->OnUpdateData = [] { return true; }; // a picked date is written at once
    connect(this, &QDateEdit::dateChanged, this, &TDBDateEdit::UserChanged);
    if (calendarWidget())
        calendarWidget()->installEventFilter(this);
    LoadFromField();
}

TDataSource* TDBDateEdit::DataSource() const {
    return FLink->DataSource();
}
void TDBDateEdit::SetDataSource(TDataSource* dataSource) {
    FLink->SetDataSource(dataSource);
}
QString TDBDateEdit::DataField() const {
    return FLink->FieldName();
}
void TDBDateEdit::SetDataField(const QString& name) {
    FLink->SetFieldName(name);
}
TField* TDBDateEdit::Field() const {
    return FLink->Field();
}

void TDBDateEdit::setReadOnly(bool value) {
    FReadOnly = value;
    UpdateState();
}

QDate TDBDateEdit::FieldDate() const {
    return date() == NoDate ? QDate() : date();
}

void TDBDateEdit::LoadFromField() {
    UpdateState();
    TField* field = Field();
    const QDate value = field && !field->IsNull() ? field->AsDateTime().date() : QDate();
    FLoading = true;
    setDate(value.isValid() && value > NoDate ? value : NoDate);
    FLoading = false;
}

bool TDBDateEdit::eventFilter(QObject* watched, QEvent* event) {
    // Without a date the calendar opens on today's month, not on the empty marker's.
    if (event->type() == QEvent::Show && watched == calendarWidget() && date() == NoDate)
        calendarWidget()->setCurrentPage(QDate::currentDate().year(), QDate::currentDate().month());
    return QDateEdit::eventFilter(watched, event);
}

void TDBDateEdit::UpdateState() {
    QDateEdit::setReadOnly(FReadOnly || !Field());
}

void TDBDateEdit::UserChanged(QDate picked) {
    if (FLoading)
        return;
    TField* field = Field();
    if (!field)
        return;
    const QDate old = field->IsNull() ? QDate() : field->AsDateTime().date();
    const QDate value = picked == NoDate ? QDate() : picked;
    if (value == old)
        return;
    if (!FLink->Edit()) {
        LoadFromField();
        return;
    }
    // A date-time column keeps its time of day; only the date was picked.
    const QTime time = field->DataType() == TFieldType::DateTime && !field->IsNull()
                           ? field->AsDateTime().time()
                           : QTime(0, 0);
    const bool ok = RunDataAction([&] {
        if (value.isValid())
            field->SetAsDateTime(QDateTime(value, time));
        else
            field->Clear();
    });
    if (!ok)
        LoadFromField();
}
