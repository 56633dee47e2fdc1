#include "Relogio.h"

#include <QCoreApplication>
#include <QDir>
#include <QThread>

namespace {
QString ComBarra(const QString& pasta)
{
    return pasta.endsWith('/') ? pasta : pasta + '/';
}
} // namespace

QDateTime TRelogio::Agora() const
{
    return QDateTime::currentDateTime();
}

QString TRelogio::PastaExecutavel() const
{
    return ComBarra(QCoreApplication::applicationDirPath());
}

QString TRelogio::PastaAtual() const
{
    return ComBarra(QDir::currentPath());
}

void TRelogio::Dorme(int milissegundos) const
{
    QThread::msleep(static_cast<unsigned long>(milissegundos));
}
