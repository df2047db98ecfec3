#include "modalcloser.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>

ModalCloser::ModalCloser(std::function<void(QDialog *)> handler) : handler(std::move(handler))
{
    connect(&timer, &QTimer::timeout, this, &ModalCloser::closeActiveModal);
    timer.start(30);
}

void ModalCloser::closeActiveModal()
{
    auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
    if (!dialog || !dialog->isVisible())
        return;
    if (auto *box = qobject_cast<QMessageBox *>(dialog))
        texts << box->text();
    else
        texts << dialog->windowTitle();
    if (handler && !qobject_cast<QMessageBox *>(dialog))
        handler(dialog);
    else
        dialog->reject();
}
