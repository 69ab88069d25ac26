// The file dialog's filter for choosing a logo.
#pragma once

#include <QString>

// Every picture format the program reads, PNG first: "Alle Bilddateien
// (*.png *.jpg ...)" and one entry per format.
QString LogoFileFilter();
