// RuleEditor: the dialog that makes or changes a smart playlist's rule: its name, whether all or
// any of its conditions must hold, the conditions (a field, and a value or a range each), a limit
// and an order. Modal, made by the smart playlists controller for one edit; GUI thread.
#ifndef RULEEDITOR_H
#define RULEEDITOR_H

#include "smartplaylists/smartrule.h"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QSpinBox;
class QVBoxLayout;

class RuleEditor : public QDialog
{
    Q_OBJECT

public:
    RuleEditor(const SmartRule &rule, QWidget *parent);

    SmartRule rule() const;

private:
    struct ConditionRow
    {
        QWidget *row;
        QComboBox *field;
        QLineEdit *text;
        QSpinBox *min;
        QSpinBox *max;
    };

    void addCondition(const SmartCondition &condition);
    void removeCondition(QWidget *row);
    static void showFieldsOf(const ConditionRow &row);
    void updateAcceptable();

    QLineEdit *name;
    QComboBox *match;
    QVBoxLayout *conditionRows;
    QSpinBox *limit;
    QComboBox *order;
    QList<ConditionRow> conditions;
    QWidget *okButton = nullptr;
};

#endif
