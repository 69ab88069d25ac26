#include "TReport.h"

#include <QDialog>
#include <QFileInfo>
#include <QMap>
#include <QPagedPaintDevice>
#include <QTextDocument>

EReportError::EReportError(const QString& message)
    : std::runtime_error(message.toStdString()), FMessage(message) {}

struct TReport::TPrivate {
    QString FileName;
    bool Open = false;
    QMap<QString, QString> Params;
    QMap<QString, TSQLiteBaseQuery*> DataSets;
    TReportDestination Destination = TReportDestination::Preview;
    QString OutputFileName;
    QString Title;
    int PageCount = 0;
};

TReport::TReport() : d(std::make_unique<TPrivate>()) {}
TReport::~TReport() = default;

void TReport::Open(const QString& definitionFile) {
    Close();
    if (!QFileInfo(definitionFile).isFile())
        throw EReportError(QStringLiteral("Die Druckvorlage \"") + definitionFile +
                           QStringLiteral("\" fehlt!"));
    d->FileName = definitionFile;
    d->Open = true;
}

void TReport::Close() {
    d->Open = false;
}
bool TReport::IsOpen() const {
    return d->Open;
}
QString TReport::FileName() const {
    return d->FileName;
}
double TReport::UnitsFactor() const {
    return 1.0;
}
TReportElement* TReport::FindElement(const QString&, const QString&) {
    return nullptr;
}
void TReport::SetParam(const QString& name, const QString& value) {
    d->Params.insert(name, value);
}
QString TReport::Param(const QString& name) const {
    return d->Params.value(name);
}
void TReport::ClearParams() {
    d->Params.clear();
}
void TReport::SetDataSet(const QString& name, TSQLiteBaseQuery* dataSet) {
    d->DataSets.insert(name, dataSet);
}
void TReport::SetDestination(TReportDestination destination) {
    d->Destination = destination;
}
TReportDestination TReport::Destination() const {
    return d->Destination;
}
void TReport::SetOutputFileName(const QString& fileName) {
    d->OutputFileName = fileName;
}
QString TReport::OutputFileName() const {
    return d->OutputFileName;
}
void TReport::SetTitle(const QString& title) {
    d->Title = title;
}
void TReport::Execute(const QString&) {
    if (!d->Open)
        throw EReportError(QStringLiteral("Die Druckvorlage ist nicht geöffnet!"));
}
int TReport::Render(QPagedPaintDevice&, const QString&) {
    return 0;
}
int TReport::PageCount() const {
    return d->PageCount;
}

namespace {
std::function<void(const QString&, QTextDocument&)>& RtfReaderHook() {
    static std::function<void(const QString&, QTextDocument&)> reader;
    return reader;
}
} // namespace

void TReport::SetRtfReader(std::function<void(const QString& rtf, QTextDocument& document)> reader) {
    RtfReaderHook() = std::move(reader);
}

std::function<void(QDialog& preview)>& TReport::PreviewRunner() {
    static std::function<void(QDialog&)> runner = [](QDialog& preview) { preview.exec(); };
    return runner;
}
