// The modal pickers of customers, suppliers and articles: a list frame with
// "Ü&bernehmen" and "&Abbrechen". The chosen record is the current row of the
// list query (QueryKunde, QueryLieferant, QueryArtikel) when Execute returns
// true.
#pragma once

#include <QDialog>

class TFrameUeb;
class TFrameKundenUeb;
class TFrameLieferantenUeb;
class TFrameArtikelUeb;

class TAuswahl : public QDialog {
    Q_OBJECT
public:
    // Style for the dialog and its frame, the frame reset (for the caller's
    // document type: "B" lists purchase articles), then the modal dialog;
    // true when the user confirmed a record.
    bool Execute(const QString& docType = QString());

    // Confirms only while the list shows a record: an empty list has nothing
    // to hand back.
    void accept() override;

protected:
    // The dialog takes the frame (created without a parent); a double-click
    // in its grid confirms.
    TAuswahl(TFrameUeb* frame, const QString& caption, QWidget* parent);

    TFrameUeb* FFrame;
};

class TKundenAusw : public TAuswahl {
    Q_OBJECT
public:
    explicit TKundenAusw(QWidget* parent = nullptr);
    TFrameKundenUeb* Frame() const;
};

class TLieferantenAusw : public TAuswahl {
    Q_OBJECT
public:
    explicit TLieferantenAusw(QWidget* parent = nullptr);
    TFrameLieferantenUeb* Frame() const;
};

class TArtikelAusw : public TAuswahl {
    Q_OBJECT
public:
    explicit TArtikelAusw(QWidget* parent = nullptr);
    TFrameArtikelUeb* Frame() const;
};
