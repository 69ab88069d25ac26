// The VAT rules a printed document and its e-invoice share: the category of
// a document without VAT, the small-business rule and the legal notes the
// printout carries for both.
#pragma once

#include <QString>

class TDM;

// The VAT category of a document without VAT (Netto = J), decided from the
// seller's and the buyer's country and the buyer's VAT number: the same
// country -> reverse charge (AE), with a VAT number; another EU country -> an
// intra-community supply (K), with a VAT number; outside the EU -> export (G).
// Empty when it cannot be decided; *fehlt then names what is missing.
QString NettoKategorie(const QString& verkaeuferLand, const QString& kaeuferLand, const QString& kaeuferUID,
                       QString* fehlt);

// Whether the company charges no VAT at all (set_allg "Kleinunternehmer" = J).
bool IstKleinunternehmer(TDM& dm);

// The set_allg key of the editable note for a VAT category (E for the small
// business, AE, K, G for the documents without VAT); empty for any other.
QString SteuerHinweisSchluessel(const QString& kategorie);
// The wording the law of the company's country (ISO code; empty counts as
// Austria) asks for, used while the company has not written its own.
QString SteuerHinweisVorgabe(const QString& kategorie, const QString& land);
// The note as this company prints it: its own text, else the default.
QString SteuerHinweis(TDM& dm, const QString& kategorie);

// For a small business: the message that names the first price line of the
// customer document charging VAT; empty when there is none (or the rule is
// off, or the document is a supplier's).
QString KleinunternehmerFehler(TDM& dm, const QString& typ, int kopfId);
