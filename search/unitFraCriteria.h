#pragma once
// One condition row of the search window: a close button, the field chooser, the method chooser
// and the condition text, which stretches with the row. A new row reads Title, " contains" and
// an empty text.

#include <QFrame>

#include "search/unitSongSearch.h"

class QComboBox;
class QLineEdit;
class QToolButton;

class TfraCriteria : public QFrame {
    Q_OBJECT
public:
    explicit TfraCriteria(QWidget* parent = nullptr);

    /// The row as the search reads it: the chosen items and the text exactly as typed.
    cCriteriaRow Row() const;

    QToolButton* CloseButton() const { return btnCloseFrame; }
    QComboBox* Fields() const { return cboFields; }
    QComboBox* SearchMethod() const { return cboSearchMethod; }
    QLineEdit* Condition() const { return edtCondition; }

signals:
    /// The row's close button was clicked: the window decides whether the row goes.
    void btnCloseFrameClick(TfraCriteria* row);

private:
    QToolButton* btnCloseFrame;
    QComboBox* cboFields;
    QComboBox* cboSearchMethod;
    QLineEdit* edtCondition;
};
