#pragma once
// Station databases for tests and demonstrations: the schema the communicator relies on, created in
// a new embedded database file, optionally filled with a small station.
#include <QString>
#include <QStringList>

// The schema's statements, in order.
QStringList ComandosEsquemaPosto();

// Creates the database file `caminho` (SQL dialect 1, character set WIN1252) with the station schema
// and, when asked, the demo station. Raises EErro; an existing file is never overwritten.
void CriaBancoPosto(const QString& caminho, bool comDadosDemo = true);

// Creates an empty database file with the station's dialect and character set; raises EErro.
void CriaBancoVazio(const QString& caminho);
