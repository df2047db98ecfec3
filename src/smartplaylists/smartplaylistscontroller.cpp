#include "smartplaylists/smartplaylistscontroller.h"

#include "core/serverconnection.h"
#include "core/songfacts.h"
#include "smartplaylists/ruleeditor.h"
#include "smartplaylists/ruleevaluator.h"
#include "smartplaylists/smartrulestore.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

// Runs on the connection thread: the server's matches for the tags the index lacks, then the rule.
QStringList pickOnServer(Qmpd &mpd, const SmartRule &rule, RuleEvaluator::Input input, bool append)
{
    for (int i = 0; i < rule.conditions.size(); ++i) {
        const SmartCondition &condition = rule.conditions.at(i);
        if (!SmartCondition::matchedByServer(condition.field))
            continue;
        const QStringList files = mpd.filesWithTag(SmartCondition::serverTag(condition.field), condition.text);
        input.serverMatches.insert(i, QSet<QString>(files.cbegin(), files.cend()));
    }
    QRandomGenerator random(QRandomGenerator::global()->generate());
    const QStringList files = RuleEvaluator::evaluate(rule, input, random);
    if (append && !mpd.failed())
        mpd.addPaths(files);
    return files;
}

}  // namespace

SmartPlaylistsController::SmartPlaylistsController(SongSource songs, const SongFacts *facts,
                                                   QWidget *window)
    : QObject(window), songs(std::move(songs)), facts(facts)
{
    pageWidget = buildPage(window);
    connect(&dynamic, &DynamicMode::switched, this, &SmartPlaylistsController::onDynamicSwitched);
    dynamicState->setText(tr("Dynamic mode is off"));
    onConnectionClosed();
}

QWidget *SmartPlaylistsController::buildPage(QWidget *window)
{
    auto *page = new QWidget(window);
    page->setObjectName(QStringLiteral("smartPlaylistsPage"));
    list = new QListWidget(page);
    list->setObjectName(QStringLiteral("smartPlaylistList"));
    connect(list, &QListWidget::itemDoubleClicked, this, &SmartPlaylistsController::onEdit);
    auto *buttons = new QHBoxLayout;
    const auto button = [&](const QString &text, void (SmartPlaylistsController::*slot)()) {
        auto *made = new QPushButton(text, page);
        connect(made, &QPushButton::clicked, this, slot);
        buttons->addWidget(made);
        return made;
    };
    button(tr("New..."), &SmartPlaylistsController::onNew);
    button(tr("Edit..."), &SmartPlaylistsController::onEdit);
    button(tr("Delete"), &SmartPlaylistsController::onDelete);
    button(tr("Load"), &SmartPlaylistsController::onLoad);
    dynamicButton = new QPushButton(tr("Dynamic"), page);
    dynamicButton->setCheckable(true);
    connect(dynamicButton, &QPushButton::clicked, this, &SmartPlaylistsController::onDynamic);
    buttons->addWidget(dynamicButton);
    upcoming = new QSpinBox(page);
    upcoming->setRange(1, 100);
    upcoming->setValue(DynamicMode::Settings().upcoming);
    history = new QSpinBox(page);
    history->setRange(0, 1000);
    history->setValue(DynamicMode::Settings().history);
    trim = new QCheckBox(tr("Remove played songs beyond the history"), page);
    dynamicState = new QLabel(page);
    dynamicState->setObjectName(QStringLiteral("dynamicState"));
    auto *settings = new QFormLayout;
    settings->addRow(tr("Dynamic: songs coming"), upcoming);
    settings->addRow(tr("Dynamic: history"), history);
    settings->addRow(trim);
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(dynamicState);
    layout->addWidget(list);
    layout->addLayout(buttons);
    layout->addLayout(settings);
    return page;
}

void SmartPlaylistsController::onConnectionReady(ServerConnection *connection)
{
    server = connection;
    rulesFile = SmartRuleStore::fileFor(connection->host(), connection->port());
    rules = SmartRuleStore::load(rulesFile);
    showRules();
    pageWidget->setEnabled(true);
}

void SmartPlaylistsController::onConnectionClosed()
{
    dynamic.stop();
    server = nullptr;
    rules.clear();
    showRules();
    pageWidget->setEnabled(false);
}

void SmartPlaylistsController::onNew()
{
    edit(-1, SmartRule());
}

void SmartPlaylistsController::onEdit()
{
    const int row = selectedRow();
    if (row >= 0)
        edit(row, rules.at(row));
}

void SmartPlaylistsController::edit(int row, const SmartRule &rule)
{
    RuleEditor editor(rule, pageWidget);
    if (editor.exec() != QDialog::Accepted)
        return;
    if (row < 0)
        rules << editor.rule();
    else
        rules[row] = editor.rule();
    if (!SmartRuleStore::save(rulesFile, rules))
        emit message(tr("Could not save the smart playlists to %1").arg(rulesFile));
    showRules();
    list->setCurrentRow(row < 0 ? int(rules.size()) - 1 : row);
}

void SmartPlaylistsController::onDelete()
{
    const int row = selectedRow();
    if (row < 0
        || QMessageBox::question(pageWidget, tr("Delete smart playlist"),
                                 tr("Delete \"%1\"?").arg(rules.at(row).name))
                != QMessageBox::Yes)
        return;
    rules.removeAt(row);
    if (!SmartRuleStore::save(rulesFile, rules))
        emit message(tr("Could not save the smart playlists to %1").arg(rulesFile));
    showRules();
}

void SmartPlaylistsController::onLoad()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    const QString name = rules.at(row).name;
    pick(rules.at(row), true, [this, name](const QStringList &files) {
        emit message(files.isEmpty() ? tr("No song matches \"%1\"").arg(name)
                                     : tr("Added %n song(s) from \"%1\"", nullptr, int(files.size())).arg(name));
    });
}

void SmartPlaylistsController::onDynamic(bool on)
{
    const int row = selectedRow();
    if (!on || row < 0) {
        dynamic.stop();
        dynamicButton->setChecked(false);
        return;
    }
    const DynamicMode::Settings settings{upcoming->value(), history->value(), trim->isChecked()};
    const QString name = rules.at(row).name;
    pick(rules.at(row), false, [this, settings, name](const QStringList &files) {
        if (!server)
            return;
        if (files.isEmpty()) {
            dynamicButton->setChecked(false);
            emit message(tr("No song matches \"%1\"").arg(name));
            return;
        }
        dynamic.start(server, files, settings);
        dynamicState->setText(tr("Dynamic mode is on: \"%1\" keeps %n song(s) coming", nullptr,
                                 settings.upcoming).arg(name));
    });
}

void SmartPlaylistsController::onDynamicSwitched(bool on)
{
    dynamicButton->setChecked(on);
    if (!on)
        dynamicState->setText(tr("Dynamic mode is off"));
    emit message(on ? tr("Dynamic mode on") : tr("Dynamic mode off"));
}

void SmartPlaylistsController::pick(const SmartRule &rule, bool append, const Done &done)
{
    if (!server)
        return;
    RuleEvaluator::Input input{songs(), facts->all(), {}, QDateTime::currentSecsSinceEpoch()};
    if (input.songs.isEmpty()) {
        emit message(tr("The collection is not ready yet"));
        dynamicButton->setChecked(false);
        return;
    }
    server->ask(
            this,
            [rule, input, append](Qmpd &mpd) { return pickOnServer(mpd, rule, input, append); },
            done);
}

int SmartPlaylistsController::selectedRow() const
{
    const int row = list->currentRow();
    return row >= 0 && row < rules.size() ? row : -1;
}

void SmartPlaylistsController::showRules()
{
    list->clear();
    for (const SmartRule &rule : std::as_const(rules))
        list->addItem(rule.name);
}
