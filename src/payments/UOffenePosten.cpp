#include "UOffenePosten.h"

#include "Datenaustausch.h"
#include "DruckText.h"
#include "GlobalFunctions.h"
#include "Messages.h"
#include "QuorventFunctions.h"
#include "TDBDataLink.h"
#include "UDM.h"
#include "UExtras.h"
#include "UFrameUeb.h"
#include "UOffenePostenIntern.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QDoubleValidator>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTableView>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

std::function<bool()> TOffenePosten::PickCustomer;
std::function<void(const QString&, int)> TOffenePosten::ShowMahnen;

using namespace OffenePostenWidgets;

namespace {

enum TSpalte {
    Kunde,
    Typ,
    Nummer,
    Datum,
    Faellig,
    Tage,
    Brutto,
    Bezahlt,
    Gutschrift,
    Offen,
    Zinsen,
    Stufe,
    Spalten
};

} // namespace

// ---------------------------------------------------------------------
// The list model.

QStringList TOffenePostenModel::Captions() {
    return {QStringLiteral("Kunde"),  QStringLiteral("Typ"),           QStringLiteral("Nummer"),
            QStringLiteral("Datum"),  QStringLiteral("Fällig am"),     QStringLiteral("Tage überfällig"),
            QStringLiteral("Brutto"), QStringLiteral("Bezahlt"),       QStringLiteral("Gutschrift"),
            QStringLiteral("Offen"),  QStringLiteral("Verzugszinsen"), QStringLiteral("Mahnstufe")};
}

QString TOffenePostenModel::Text(const TOffenerPosten& p, int column) {
    switch (column) {
    case Kunde:
        return p.Kunde;
    case Typ:
        return p.Typ;
    case Nummer:
        return QString::number(p.KopfID);
    case Datum:
        return DruckDate(p.Datum);
    case Faellig:
        return DruckDate(p.Faellig);
    case Tage:
        return p.TageUeberfaellig > 0 ? QString::number(p.TageUeberfaellig) : QString();
    case Brutto:
        return Betrag(p.Brutto);
    case Bezahlt:
        return Betrag(p.Bezahlt);
    case Gutschrift:
        return Betrag(p.Gutgeschrieben);
    case Offen:
        return Betrag(p.Offen);
    case Zinsen:
        return Betrag(p.Zinsen);
    case Stufe:
        return p.Mahnstufe > 0
                   ? QString::number(p.Mahnstufe) + QStringLiteral(" (") + DruckDate(p.MahnDatum) + u')'
                   : QString();
    default:
        return QString();
    }
}

void TOffenePostenModel::SetPosten(QList<TOffenerPosten> posten) {
    beginResetModel();
    FPosten = std::move(posten);
    endResetModel();
}

int TOffenePostenModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(FPosten.size());
}

int TOffenePostenModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Spalten;
}

QVariant TOffenePostenModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= FPosten.size())
        return {};
    const TOffenerPosten& p = FPosten[index.row()];
    if (role == Qt::DisplayRole)
        return Text(p, index.column());
    if (role == Qt::TextAlignmentRole)
        return index.column() >= Nummer && index.column() != Stufe
                   ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                   : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    if (role == Qt::ForegroundRole && p.TageUeberfaellig > 0)
        return QColor(Qt::darkRed);
    return {};
}

QVariant TOffenePostenModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return Captions().value(section);
    return {};
}

void TOffenePostenModel::sort(int column, Qt::SortOrder order) {
    auto key = [column](const TOffenerPosten& p) -> std::tuple<double, QString> {
        switch (column) {
        case Kunde:
            return {double(p.KundenID), p.Kunde};
        case Typ:
            return {0, p.Typ};
        case Nummer:
            return {double(p.KopfID), p.Typ};
        case Datum:
            return {double(p.Datum.toJulianDay()), QString()};
        case Faellig:
            return {double(p.Faellig.toJulianDay()), QString()};
        case Tage:
            return {double(p.TageUeberfaellig), QString()};
        case Brutto:
            return {p.Brutto, QString()};
        case Bezahlt:
            return {p.Bezahlt, QString()};
        case Gutschrift:
            return {p.Gutgeschrieben, QString()};
        case Offen:
            return {p.Offen, QString()};
        case Zinsen:
            return {p.Zinsen, QString()};
        default:
            return {double(p.Mahnstufe), QString()};
        }
    };
    // Each key is taken once, not twice per comparison, and the items then
    // move into their order in place: 100,000 items sort without copying
    // their texts a few million times or allocating a second list.
    std::vector<std::pair<std::tuple<double, QString>, int>> keys;
    keys.reserve(size_t(FPosten.size()));
    for (int i = 0; i < int(FPosten.size()); ++i)
        keys.push_back({key(FPosten[i]), i});
    std::stable_sort(keys.begin(), keys.end(), [order](const auto& a, const auto& b) {
        return order == Qt::AscendingOrder ? a.first < b.first : b.first < a.first;
    });
    emit layoutAboutToBeChanged();
    std::vector<int> woher(keys.size()); // position i receives the item now at woher[i]
    for (size_t i = 0; i < keys.size(); ++i)
        woher[i] = keys[i].second;
    for (size_t start = 0; start < woher.size(); ++start) {
        if (woher[start] < 0 || woher[start] == int(start))
            continue;
        TOffenerPosten tmp = std::move(FPosten[qsizetype(start)]);
        size_t ziel = start;
        for (;;) {
            const int quelle = woher[ziel];
            woher[ziel] = -1;
            if (quelle == int(start)) {
                FPosten[qsizetype(ziel)] = std::move(tmp);
                break;
            }
            FPosten[qsizetype(ziel)] = std::move(FPosten[quelle]);
            ziel = size_t(quelle);
        }
    }
    emit layoutChanged();
}

// ---------------------------------------------------------------------
// The page.

TOffenePosten::TOffenePosten(QWidget* pageArea) : TPage(pageArea) {
    setObjectName(QStringLiteral("OffenePosten"));
    setWindowTitle(QStringLiteral("Offene Posten"));
    RightKey = QStringLiteral("OffenePosten");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Titel(this, QStringLiteral("   Offene Posten")));

    auto* filter = new QHBoxLayout;
    filter->addWidget(new QLabel(QStringLiteral("Kunde"), this));
    FKunde = new QLineEdit(this);
    FKunde->setObjectName(QStringLiteral("EditKunde"));
    FKunde->setMaximumWidth(80);
    FKunde->setToolTip(QStringLiteral("Offene Posten nach Kunde filtern"));
    TFrameUeb::MakeDigitsOnly(FKunde);
    filter->addWidget(FKunde);
    auto* pick = new QToolButton(this);
    pick->setObjectName(QStringLiteral("BitBtnKunde"));
    pick->setText(QStringLiteral("?"));
    pick->setToolTip(QStringLiteral("Kunde auswählen"));
    filter->addWidget(pick);
    filter->addSpacing(12);
    filter->addWidget(new QLabel(QStringLiteral("Stichtag"), this));
    FStichtag = DatumFeld(this, "DTPStichtag");
    FStichtag->setToolTip(QStringLiteral("Stand am Ende dieses Tages"));
    filter->addWidget(FStichtag);
    FUeberfaellig = new QCheckBox(QStringLiteral("nur überfällige"), this);
    FUeberfaellig->setObjectName(QStringLiteral("CBUeberfaellig"));
    filter->addWidget(FUeberfaellig);
    filter->addSpacing(12);
    FZeitraum = new QCheckBox(QStringLiteral("Rechnungen vom"), this);
    FZeitraum->setObjectName(QStringLiteral("CBZeitraum"));
    filter->addWidget(FZeitraum);
    FVon = DatumFeld(this, "DTPvon");
    FBis = DatumFeld(this, "DTPbis");
    filter->addWidget(FVon);
    filter->addWidget(new QLabel(QStringLiteral("bis"), this));
    filter->addWidget(FBis);
    filter->addStretch();
    layout->addLayout(filter);

    FModel = new TOffenePostenModel(this);
    FView = new QTableView(this);
    FView->setObjectName(QStringLiteral("LVPosten"));
    FView->setModel(FModel);
    FView->setSortingEnabled(true);
    FView->horizontalHeader()->setSortIndicator(Faellig, Qt::AscendingOrder);
    FView->setSelectionBehavior(QAbstractItemView::SelectRows);
    FView->setSelectionMode(QAbstractItemView::SingleSelection);
    FView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FView->verticalHeader()->hide();
    FView->verticalHeader()->setDefaultSectionSize(22);
    FView->setToolTip(QStringLiteral("Zahlungen der Rechnung durch Doppelklick anzeigen"));
    const int widths[] = {220, 40, 70, 85, 85, 95, 90, 90, 85, 90, 100, 120};
    for (int i = 0; i < Spalten; ++i)
        FView->setColumnWidth(i, widths[i]);
    layout->addWidget(FView, 1);
    FSumme = new QLabel(this);
    FSumme->setObjectName(QStringLiteral("LabSumme"));
    QFont bold = FSumme->font();
    bold.setBold(true);
    FSumme->setFont(bold);
    layout->addWidget(FSumme);
    FHinweis = new QLabel(this);
    FHinweis->setObjectName(QStringLiteral("LabHinweis"));
    FHinweis->setWordWrap(true);
    FHinweis->setStyleSheet(QStringLiteral("color: #a00000"));
    layout->addWidget(FHinweis);

    auto* buttons = new QHBoxLayout;
    auto* zahlungen = Knopf(this, "BitBtnZahlungen", QStringLiteral("&Zahlungen"),
                            QStringLiteral("Zahlungen der markierten Rechnung anzeigen und erfassen"));
    auto* mahnen = Knopf(this, "BitBtnMahnen", QStringLiteral("&Mahnen"),
                         QStringLiteral("Zahlungserinnerung oder Mahnung zur markierten Rechnung drucken"));
    auto* exportieren = Knopf(this, "BtnExportieren", QStringLiteral("&Exportieren"),
                              QStringLiteral("Liste in eine CSV-Datei exportieren"));
    auto* bedingungen = Knopf(this, "BitBtnBedingungen", QStringLiteral("Zahlungs&bedingungen"),
                              QStringLiteral("Zahlungsziel und Skontofrist festlegen"));
    auto* basis = Knopf(this, "BitBtnBasiszins", QStringLiteral("&Basiszinssätze"),
                        QStringLiteral("Basiszinssätze für die Verzugszinsen anzeigen und eintragen"));
    for (QPushButton* b : {zahlungen, mahnen, exportieren, bedingungen, basis})
        buttons->addWidget(b);
    buttons->addStretch();
    layout->addLayout(buttons);

    FZahlungen = new TZahlungenDialog(this);
    FBedingungen = new TZahlungsBedingungDialog(this);
    FBasiszins = new TBasiszinsDialog(this);

    auto rebuild = [this] {
        if (!FSetting)
            RunDataAction([this] { Rebuild(); });
    };
    connect(FKunde, &QLineEdit::textChanged, this, rebuild);
    connect(FStichtag, &QDateEdit::dateChanged, this, rebuild);
    connect(FUeberfaellig, &QCheckBox::toggled, this, rebuild);
    connect(FZeitraum, &QCheckBox::toggled, this, rebuild);
    connect(FVon, &QDateEdit::dateChanged, this, [this, rebuild] {
        if (FZeitraum->isChecked())
            rebuild();
    });
    connect(FBis, &QDateEdit::dateChanged, this, [this, rebuild] {
        if (FZeitraum->isChecked())
            rebuild();
    });
    connect(pick, &QToolButton::clicked, this, [this] {
        if (PickCustomer && PickCustomer())
            FKunde->setText(DM->QueryKunde.FieldByName(QStringLiteral("KundenID"))->AsString());
    });
    connect(FView, &QTableView::doubleClicked, this, [this] { ZahlungenClick(); });
    connect(zahlungen, &QPushButton::clicked, this, &TOffenePosten::ZahlungenClick);
    connect(mahnen, &QPushButton::clicked, this, &TOffenePosten::MahnenClick);
    connect(exportieren, &QPushButton::clicked, this, &TOffenePosten::ExportierenClick);
    connect(bedingungen, &QPushButton::clicked, this, [this, rebuild] {
        FBedingungen->prepare(FKunde->text().toInt());
        FBedingungen->exec();
        rebuild();
    });
    connect(basis, &QPushButton::clicked, this, [this, rebuild] {
        FBasiszins->prepare();
        FBasiszins->exec();
        rebuild();
    });
}

void TOffenePosten::PrepareShow() {
    EnsureZahlungTables(*DM);
    FSetting = true;
    FStichtag->setDate(QDate::currentDate());
    if (!FZeitraum->isChecked()) {
        FVon->setDate(QDate(QDate::currentDate().year(), 1, 1));
        FBis->setDate(QDate::currentDate());
    }
    FSetting = false;
    Rebuild();
}

void TOffenePosten::Rebuild() {
    TOPFilter f;
    f.Stichtag = FStichtag->date();
    bool ok = false;
    const int kunde = FKunde->text().toInt(&ok);
    f.KundenID = ok ? kunde : -1;
    f.NurUeberfaellig = FUeberfaellig->isChecked();
    if (FZeitraum->isChecked()) {
        f.Von = FVon->date();
        f.Bis = FBis->date();
    }
    QList<QDate> fehlend;
    FModel->SetPosten(OffenePosten(*DM, f, &fehlend));
    const QHeaderView* h = FView->horizontalHeader();
    FModel->sort(h->sortIndicatorSection(), h->sortIndicatorOrder());
    double brutto = 0, bezahlt = 0, gut = 0, offen = 0, zinsen = 0, ueber = 0;
    for (const TOffenerPosten& p : FModel->Posten()) {
        brutto += p.Brutto;
        bezahlt += p.Bezahlt;
        gut += p.Gutgeschrieben;
        offen += p.Offen;
        zinsen += p.Zinsen;
        if (p.TageUeberfaellig > 0)
            ueber += p.Offen;
    }
    FSumme->setText(QStringLiteral("Summe (") + QString::number(FModel->rowCount()) +
                    QStringLiteral(" Posten):  Brutto ") + FormatEuro(brutto) +
                    QStringLiteral("  ·  Bezahlt ") + FormatEuro(bezahlt) +
                    QStringLiteral("  ·  Gutschriften ") + FormatEuro(gut) + QStringLiteral("  ·  Offen ") +
                    FormatEuro(offen) + QStringLiteral("  ·  davon überfällig ") + FormatEuro(ueber) +
                    QStringLiteral("  ·  Verzugszinsen ") + FormatEuro(zinsen));
    QStringList tage;
    for (const QDate& d : fehlend)
        tage << DruckDate(d);
    FHinweis->setText(tage.isEmpty()
                          ? QString()
                          : QStringLiteral("Für die Halbjahre ab ") + tage.join(QStringLiteral(", ")) +
                                QStringLiteral(" ist kein Basiszinssatz eingetragen; die Zinsen rechnen "
                                               "dort mit dem Satz davor. Bitte unter \"Basiszinssätze\" "
                                               "nachtragen."));
}

bool TOffenePosten::Current(QString* typ, int* kopfId) const {
    const QModelIndex i = FView->currentIndex();
    if (!i.isValid() || i.row() >= FModel->Posten().size()) {
        Messages::info(QStringLiteral("Bitte wählen Sie eine Rechnung aus der Liste aus!"));
        return false;
    }
    *typ = FModel->Posten()[i.row()].Typ;
    *kopfId = FModel->Posten()[i.row()].KopfID;
    return true;
}

void TOffenePosten::ZahlungenClick() {
    QString typ;
    int id = 0;
    if (!Current(&typ, &id))
        return;
    RunDataAction([&] { FZahlungen->prepare(typ, id); });
    FZahlungen->exec();
    RunDataAction([this] { Rebuild(); });
}

void TOffenePosten::MahnenClick() {
    QString typ;
    int id = 0;
    if (!Current(&typ, &id) || !ShowMahnen)
        return;
    ShowMahnen(typ, id);
    RunDataAction([this] { Rebuild(); });
}

void TOffenePosten::ExportierenClick() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    const QString file =
        ChooseListFile ? ChooseListFile(this, folder + QStringLiteral("/Offene Posten.csv")) : QString();
    if (file.isEmpty())
        return;
    if (IsDatabaseFile(*DM, file)) {
        Messages::error(QStringLiteral("Die Liste konnte nicht exportiert werden!\nDie Datei ") + file +
                        QStringLiteral(" ist die geöffnete Datenbank und kann nicht überschrieben werden!"));
        return;
    }
    QList<QStringList> rows{TOffenePostenModel::Captions()};
    for (const TOffenerPosten& p : FModel->Posten()) {
        QStringList row;
        for (int c = 0; c < Spalten; ++c)
            row << TOffenePostenModel::Text(p, c);
        rows << row;
    }
    const QByteArray data = CSVDatei(rows);
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(data) != data.size() || !out.commit()) {
        Messages::error(QStringLiteral("Die Liste konnte nicht exportiert werden!\nDie Datei ") + file +
                        QStringLiteral(" konnte nicht geschrieben werden: ") + out.errorString());
        return;
    }
    Messages::info(QStringLiteral("Die Liste wurde in die Datei ") + file + QStringLiteral(" exportiert."));
}

// ---------------------------------------------------------------------
// Open and overdue amounts for the statistics.

TOffeneBetraege::TOffeneBetraege(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TabOffeneBetraege"));
    auto* layout = new QFormLayout(this);
    FStichtag = DatumFeld(this, "DTPStichtagOP");
    FStichtag->setToolTip(QStringLiteral("Stand am Ende dieses Tages"));
    FOffen = new QLabel(this);
    FOffen->setObjectName(QStringLiteral("LabOffen"));
    FUeberfaellig = new QLabel(this);
    FUeberfaellig->setObjectName(QStringLiteral("LabUeberfaellig"));
    FAnzahl = new QLabel(this);
    FAnzahl->setObjectName(QStringLiteral("LabAnzahl"));
    QFont bold = FOffen->font();
    bold.setBold(true);
    FOffen->setFont(bold);
    FUeberfaellig->setFont(bold);
    layout->addRow(QStringLiteral("Stichtag"), FStichtag);
    layout->addRow(QStringLiteral("Offene Rechnungen"), FAnzahl);
    layout->addRow(QStringLiteral("Offener Betrag"), FOffen);
    layout->addRow(QStringLiteral("davon überfällig"), FUeberfaellig);
    connect(FStichtag, &QDateEdit::dateChanged, this, [this] { RunDataAction([this] { Berechnen(); }); });
}

void TOffeneBetraege::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    RunDataAction([this] { Berechnen(); });
}

void TOffeneBetraege::Berechnen() {
    if (!DM || !DM->SQLiteDB1.Connected())
        return;
    const TOPSumme s = OffenePostenSumme(*DM, FStichtag->date());
    FAnzahl->setText(QString::number(s.Anzahl));
    FOffen->setText(FormatEuro(s.Offen));
    FUeberfaellig->setText(FormatEuro(s.Ueberfaellig));
}
