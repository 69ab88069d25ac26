#include "TReport.h"

#include "TReportPrivate.h"

using namespace ReportEngine;

#include <QDialog>
#include <QFileInfo>
#include <QPagedPaintDevice>
#include <QPainter>

// ---------------------------------------------------------------------------

TReport::TReport() : d(std::make_unique<TPrivate>()) {}
TReport::~TReport() = default;

void TReport::Open(const QString& definitionFile) {
    Close();
    d->FileName = definitionFile;
    try {
        d->Read(definitionFile);
    } catch (...) {
        Close();
        throw;
    }
    d->Open = true;
}

void TReport::Close() {
    d->Open = false;
    d->Reports.clear();
    d->Nodes.clear();
}

bool TReport::IsOpen() const {
    return d->Open;
}
QString TReport::FileName() const {
    return d->FileName;
}
double TReport::UnitsFactor() const {
    return d->UnitsFactor;
}

TReportElement* TReport::FindElement(const QString& page, const QString& name) {
    if (!d->Open)
        return nullptr;
    for (const TReportDef& report : d->Reports)
        for (const TPageDef& p : report.Pages) {
            if (p.Name != page)
                continue;
            std::vector<TNode*> todo{p.Region};
            todo.insert(todo.end(), p.Items.begin(), p.Items.end());
            while (!todo.empty()) {
                TNode* n = todo.back();
                todo.pop_back();
                if (n->E.Name == name)
                    return &n->E;
                todo.insert(todo.end(), n->Children.begin(), n->Children.end());
                todo.insert(todo.end(), n->Heading.begin(), n->Heading.end());
            }
        }
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
int TReport::PageCount() const {
    return d->PageCount;
}

int TReport::Render(QPagedPaintDevice& device, const QString& report) {
    const TReportDef& def = d->Report(report);
    d->CheckDataSets(def);
    std::vector<TPageOps> pages;
    const int count = d->Layout(def, device, pages);
    QPainter painter;
    if (!painter.begin(&device))
        throw EReportError(QStringLiteral("Die Ausgabe des Berichts \"") + report +
                           QStringLiteral("\" konnte nicht begonnen werden."));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int i = 0; i < count; ++i) {
        ReportPageProgress(i + 1);
        if (i > 0 && !device.newPage()) {
            painter.end();
            throw EReportError(QStringLiteral("Eine neue Seite konnte nicht begonnen werden."));
        }
        for (const auto& op : pages[size_t(i)])
            op(painter, i + 1, count);
    }
    painter.end();
    d->PageCount = count;
    return count;
}

void TReport::Execute(const QString& report) {
    const TReportDef& def = d->Report(report);
    d->CheckDataSets(def);
    TReportOutputJob job;
    job.Destination = d->Destination;
    job.Title = d->Title.isEmpty() ? report : d->Title;
    job.Paper = def.Pages.front().Paper;
    job.OutputFileName = d->OutputFileName;
    job.Render = [this, &report](QPagedPaintDevice& device) { Render(device, report); };
    RunReportOutput(job);
}
