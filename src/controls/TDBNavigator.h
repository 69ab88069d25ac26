// The record navigator bar: first, previous, next, last, insert, delete, edit,
// save, cancel and refresh for the dataset of one data source.
#pragma once

#include "SQLite.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class QToolButton;

class TDBNavigator : public QWidget {
    Q_OBJECT
public:
    enum TNavigateBtn {
        nbFirst,
        nbPrior,
        nbNext,
        nbLast,
        nbInsert,
        nbDelete,
        nbEdit,
        nbPost,
        nbCancel,
        nbRefresh
    };
    Q_ENUM(TNavigateBtn)
    static constexpr int ButtonCount = nbRefresh + 1;
    using TButtonSet = unsigned;
    static constexpr TButtonSet AllButtons = (1u << ButtonCount) - 1;
    static constexpr TButtonSet Bit(TNavigateBtn b) { return 1u << b; }

    explicit TDBNavigator(QWidget* parent = nullptr);

    TDataSource* DataSource() const { return FDataSource; }
    void SetDataSource(TDataSource* dataSource);
    TSQLiteBaseQuery* DataSet() const;

    // Which buttons are on the bar (for example without insert and delete).
    TButtonSet VisibleButtons() const { return FVisible; }
    void SetVisibleButtons(TButtonSet buttons);
    void SetButtonVisible(TNavigateBtn button, bool visible);

    // Delete asks the user first; on by default.
    bool ConfirmDelete = true;

    // Runs before a button's action; throwing EAbort cancels the action.
    std::function<void(TNavigateBtn)> BeforeAction;
    // Runs after a button's action succeeded.
    std::function<void(TNavigateBtn)> OnClick;

    QToolButton* Button(TNavigateBtn button) const { return FButtons[button]; }
    // Performs what the button does, as a click on it would. True when it succeeded.
    bool BtnClick(TNavigateBtn button);

    // Enables the buttons that apply to the dataset's state and position.
    void UpdateButtons();

signals:
    void clicked(TDBNavigator::TNavigateBtn button);

private:
    void Refresh(TSQLiteBaseQuery* ds);

    QPointer<TDataSource> FDataSource;
    QList<QMetaObject::Connection> FConnections;
    QToolButton* FButtons[ButtonCount];
    TButtonSet FVisible = AllButtons;
};
