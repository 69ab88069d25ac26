// The modal pickers of customers, suppliers and articles: a list frame with
// "Ü&bernehmen" and "&Abbrechen". The chosen record is the current row of the
// list query (QueryKunde, QueryLieferant, QueryArtikel) when the picker
// returns true.
#pragma once

#include <QDialog>

#include <functional>

class TFrameUeb;
class TFrameKundenUeb;
class TFrameLieferantenUeb;
class TFrameArtikelUeb;

class TAuswahl : public QDialog {
    Q_OBJECT
public:
    // Confirms only while the list shows a record: an empty list has nothing
    // to hand back.
    void accept() override;

protected:
    TAuswahl(const QString& caption, QWidget* parent);
    // Puts the frame above the buttons and makes a double-click in it confirm.
    void Embed(TFrameUeb* frame);
    // Style for the dialog and its frame, the frame's reset, then the modal
    // dialog; true when the user confirmed a record.
    bool Run(const std::function<void()>& reset);

private:
    TFrameUeb* FFrame = nullptr;
};

class TKundenAusw : public TAuswahl {
    Q_OBJECT
public:
    explicit TKundenAusw(QWidget* parent = nullptr);
    TFrameKundenUeb* Frame() const { return FFrame; }
    // The frame reset to active customers, then the dialog; true when confirmed.
    bool Execute();

private:
    TFrameKundenUeb* FFrame;
};

class TLieferantenAusw : public TAuswahl {
    Q_OBJECT
public:
    explicit TLieferantenAusw(QWidget* parent = nullptr);
    TFrameLieferantenUeb* Frame() const { return FFrame; }
    bool Execute();

private:
    TFrameLieferantenUeb* FFrame;
};

class TArtikelAusw : public TAuswahl {
    Q_OBJECT
public:
    explicit TArtikelAusw(QWidget* parent = nullptr);
    TFrameArtikelUeb* Frame() const { return FFrame; }
    // The frame reset for the caller's document type ("B": purchase articles).
    bool Execute(const QString& docType);

private:
    TFrameArtikelUeb* FFrame;
};
