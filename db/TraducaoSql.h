#pragma once
// Statement texts with named parameters as the client takes them: each ":Nome" outside quotes and
// comments becomes "?", and the names are kept in their order of use.
#include <QByteArray>
#include <QString>
#include <QStringList>

struct TComandoTraduzido {
    QByteArray Sql;    // UTF-8, "?" for each parameter
    QStringList Nomes; // upper case, one per "?", repeats included
};

TComandoTraduzido TraduzParametros(const QString& sql);
