#!/usr/bin/env bash
# The Debian package as it would be installed: built with CPack from the
# build folder, unpacked into a temporary root, and the unpacked program run
# from there. It must answer --version and --help, start its window on a
# fresh database, and print an invoice to PDF with the report definition it
# finds under the unpacked share/quorvent (nothing lies beside usr/bin).
set -euo pipefail
BUILD="$1"
VERSION="$2"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

fail() { echo "FEHLER: $*" >&2; exit 1; }

(cd "$BUILD" && cpack -G DEB -B "$WORK/pkg" >"$WORK/cpack.log" 2>&1) || { cat "$WORK/cpack.log"; fail "cpack"; }
DEB="$(ls "$WORK"/pkg/quorvent_*_*.deb)"
[ -f "$DEB" ] || fail "kein Paket quorvent_<version>_<arch>.deb"

dpkg-deb -f "$DEB" Depends | grep -q "libqt6widgets6" || fail "Abhängigkeiten nicht berechnet: $(dpkg-deb -f "$DEB" Depends)"
dpkg-deb -f "$DEB" Depends | grep -q "fonts-liberation2" || fail "Schrift fehlt in den Abhängigkeiten"
dpkg-deb -f "$DEB" Depends | grep -q "libqrencode" || fail "libqrencode (GiroCode) fehlt in den Abhängigkeiten"
ROOT="$WORK/root"
dpkg-deb -x "$DEB" "$ROOT"
for f in usr/bin/quorvent usr/share/quorvent/Quorvent.rav usr/share/quorvent/Quorvent-Hilfe.html \
    usr/share/applications/de.brenholm.quorvent.desktop usr/share/metainfo/de.brenholm.quorvent.metainfo.xml \
    usr/share/icons/hicolor/scalable/apps/quorvent.svg usr/share/icons/hicolor/48x48/apps/quorvent.png \
    usr/share/man/man1/quorvent.1.gz usr/share/doc/quorvent/copyright usr/share/doc/quorvent/changelog.gz; do
    [ -e "$ROOT/$f" ] || fail "$f fehlt im Paket"
done
[ ! -e "$ROOT/usr/bin/Quorvent.rav" ] || fail "Berichtsdefinition neben dem Programm"

BIN="$ROOT/usr/bin/quorvent"
export XDG_DATA_HOME="$WORK/data" QT_QPA_PLATFORM=offscreen
"$BIN" --version | grep -qx "Quorvent $VERSION" || fail "--version: $("$BIN" --version)"
"$BIN" --help | grep -q -- "--pdf DATEI BELEGART NUMMER AUSGABE.pdf" || fail "--help nennt --pdf nicht"
if "$BIN" --gibtesnicht >/dev/null 2>"$WORK/err"; then fail "unbekannte Option angenommen"; fi
grep -q -- "--help" "$WORK/err" || fail "unbekannte Option ohne Hinweis auf --help"

# The first start creates the database in the data folder.
"$BIN" --screenshot "$WORK/window.png" >/dev/null 2>&1 || fail "das Programm startet nicht"
DB="$XDG_DATA_HOME/Brenholm/Quorvent/Quorvent.DB"
[ -f "$DB" ] || fail "keine Datenbank angelegt"
/usr/bin/python3 - "$DB" <<'PY'
import sqlite3, sys
c = sqlite3.connect(sys.argv[1])
c.execute("insert into Kunde (KundenID, AnredeID, TitelID, Firma, Nachname, Strasse, PLZ, Ort, LandID, "
          "KunGruID, Aktiv) values (10, 1, 1, 'Alpen Bau', 'Berger', 'Hauptstrasse 1', '6020', 'Innsbruck', 1, "
          "1, 'J')")
c.execute("insert into Kopf (KopfTyp,KopfID,Status,KundenID,KunGruID,Datum,DruDatID,Datum2,SubkundenID,"
          "KopfBez,Netto,KopfTextVorPos,FussTextNachPos) values ('R',1,'E',10,1,'2026-12-11 10:00:00',2,"
          "'2026-12-11 00:00:00',0,'Fliesen','N','N','N')")
c.execute("insert into PosDaten values ('R',1,1,0,'Fliesen','Fliesen','N')")
c.execute("insert into PosPreis values ('R',1,1,1,null,null,3,2,10,0,20)")
c.commit()
PY
"$BIN" --pdf "$DB" R 1 "$WORK/r1.pdf" || fail "--pdf"
pdftotext "$WORK/r1.pdf" - | grep -q "Alpen Bau" || fail "PDF ohne Kunden"
echo "Paket $(basename "$DEB") in Ordnung"
