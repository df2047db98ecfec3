#include "desktop/mprisrootadaptor.h"

MprisRootAdaptor::MprisRootAdaptor(QObject *service) : QDBusAbstractAdaptor(service) { }

void MprisRootAdaptor::Raise()
{
    emit raiseRequested();
}

void MprisRootAdaptor::Quit()
{
    emit quitRequested();
}
