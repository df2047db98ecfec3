#include "smartplaylists/ruleeditor.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

using Field = SmartCondition::Field;
constexpr int FieldCount = int(Field::PathPrefix) + 1;
constexpr int OrderCount = int(SmartRule::Order::Rating) + 1;

QSpinBox *numberBox(int maximum, QWidget *parent)
{
    auto *box = new QSpinBox(parent);
    box->setRange(0, maximum);
    return box;
}

}  // namespace

RuleEditor::RuleEditor(const SmartRule &rule, QWidget *parent)
    : QDialog(parent),
      name(new QLineEdit(rule.name, this)),
      match(new QComboBox(this)),
      conditionRows(new QVBoxLayout),
      limit(numberBox(100000, this)),
      order(new QComboBox(this))
{
    setWindowTitle(tr("Smart playlist"));
    match->addItems({tr("all of these"), tr("any of these")});
    match->setCurrentIndex(rule.matchAll ? 0 : 1);
    limit->setSpecialValueText(tr("no limit"));
    limit->setValue(rule.limit);
    for (int i = 0; i < OrderCount; ++i)
        order->addItem(SmartRule::orderName(SmartRule::Order(i)));
    order->setCurrentIndex(int(rule.order));
    auto *add = new QPushButton(tr("Add condition"), this);
    connect(add, &QPushButton::clicked, this, [this] { addCondition({}); });
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    okButton = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(name, &QLineEdit::textChanged, this, &RuleEditor::updateAcceptable);

    auto *form = new QFormLayout(this);
    form->addRow(tr("Name:"), name);
    form->addRow(tr("Songs matching:"), match);
    form->addRow(conditionRows);
    form->addRow(add);
    form->addRow(tr("Limit:"), limit);
    form->addRow(tr("Order:"), order);
    form->addRow(buttons);
    for (const SmartCondition &condition : rule.conditions)
        addCondition(condition);
    updateAcceptable();
}

SmartRule RuleEditor::rule() const
{
    SmartRule made;
    made.name = name->text().trimmed();
    made.matchAll = match->currentIndex() == 0;
    made.limit = limit->value();
    made.order = SmartRule::Order(order->currentIndex());
    for (const ConditionRow &row : conditions)
        made.conditions.append({Field(row.field->currentIndex()), row.text->text(), row.min->value(),
                                row.max->value()});
    return made;
}

void RuleEditor::addCondition(const SmartCondition &condition)
{
    auto *row = new QWidget(this);
    ConditionRow made{row, new QComboBox(row), new QLineEdit(condition.text, row),
                      numberBox(99999, row), numberBox(99999, row)};
    for (int i = 0; i < FieldCount; ++i)
        made.field->addItem(SmartCondition::fieldName(Field(i)));
    made.field->setCurrentIndex(int(condition.field));
    made.min->setValue(condition.min);
    made.max->setValue(condition.max);
    auto *remove = new QPushButton(tr("Remove"), row);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QWidget *part : {static_cast<QWidget *>(made.field), static_cast<QWidget *>(made.text),
                          static_cast<QWidget *>(made.min), static_cast<QWidget *>(made.max),
                          static_cast<QWidget *>(remove)})
        layout->addWidget(part);
    connect(made.field, &QComboBox::currentIndexChanged, row, [made] { showFieldsOf(made); });
    connect(remove, &QPushButton::clicked, this, [this, row] { removeCondition(row); });
    showFieldsOf(made);
    conditions << made;
    conditionRows->addWidget(row);
}

void RuleEditor::removeCondition(QWidget *row)
{
    conditions.removeIf([row](const ConditionRow &condition) { return condition.row == row; });
    row->deleteLater();
}

void RuleEditor::showFieldsOf(const ConditionRow &row)
{
    const Field field = Field(row.field->currentIndex());
    row.text->setVisible(SmartCondition::hasText(field));
    row.min->setVisible(!SmartCondition::hasText(field));
    row.max->setVisible(SmartCondition::hasMax(field));
    row.min->setMaximum(field == Field::Rating ? 5 : 99999);
}

void RuleEditor::updateAcceptable()
{
    okButton->setEnabled(!name->text().trimmed().isEmpty());
}
