// The style editor: colours of the style in use (style 0), a preview of each
// kind of element, reset from the standard style (style 1).
#pragma once

#include "StyleColors.h"
#include "UPage.h"

#include <QColor>

#include <functional>
#include <optional>

namespace Ui {
class TEinStyle;
}
class QFrame;

class TEinStyle : public TPage {
    Q_OBJECT
public:
    explicit TEinStyle(QWidget* pageArea = nullptr);
    ~TEinStyle() override;

    // Asks for a colour, preset to the given one; nullopt when cancelled.
    // The colour dialog by default; tests answer it themselves.
    std::function<std::optional<QColor>(const QColor& initial)> ChooseColor;

    // The squares as they stand (unsaved changes included).
    const TStyleSquares& Squares() const { return FSquares; }

    // Loads style 0 or 1 into the squares and the samples.
    void LoadStyle(int styleId);
    // Opens the colour choice for a square and takes the chosen colour.
    void SquareClick(QFrame* square);
    // "Übernehmen": writes the squares into style 0.
    void BitBtnUebernehmenClick();

protected:
    void PrepareShow() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CBStyleChange(int index);
    void LBObjektClick();
    // The square's value (stored encoding); nullopt when the row has none.
    std::optional<qint32> SquareValue(const QFrame* square) const;
    void SetSquareValue(const QFrame* square, qint32 value);
    void ShowSquares();
    // Colours one kind's sample from the squares.
    void PreviewKind(const QString& kind);
    void BuildSamples();

    Ui::TEinStyle* ui;
    TStyleSquares FSquares;
    QList<QFrame*> FSquareFrames;
};
