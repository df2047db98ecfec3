// ModalCloser: closes every modal box the program opens while it is alive
// (tests must never hang on one), and remembers their texts.
#ifndef MODALCLOSER_H
#define MODALCLOSER_H

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>

class QDialog;

class ModalCloser : public QObject
{
    Q_OBJECT

public:
    // Without a handler a box is rejected; a handler may fill a dialog in and accept it.
    explicit ModalCloser(std::function<void(QDialog *)> handler = {});

    QStringList texts;

private:
    void closeActiveModal();

    std::function<void(QDialog *)> handler;
    QTimer timer;
};

#endif
