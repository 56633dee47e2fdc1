#pragma once
// Where the station connection points and how it is opened at start-up: Caminho.ini in the current
// folder, otherwise the station's database alias, then attempts with a 7 s pause and the operator's
// say on whether to go on.
#include "Conexao.h"
#include "Mensagens.h"
#include "Relogio.h"

#include <QString>
#include <QStringList>

#include <functional>

// A database definition whose parameters ("NAME=value" lines) are read but which is never opened.
struct TDefinicaoBanco {
    QString Alias;
    QStringList Parametros;
};

// DbTankora: alias "Tankora", no login of its own (the alias's is used).
TDefinicaoBanco DefinicaoDbTankora();

// The parameter list of a named alias ("NAME=value" lines). This platform keeps no alias
// configuration, so the list is empty unless a lookup has been put in place. A lookup that fails
// raises EErro.
using TLeituraAlias = std::function<QStringList(const QString& alias)>;
QStringList ParametrosAlias(const QString& alias);
// Puts a lookup in place (an empty function restores the default, which finds nothing).
void DefineLeituraAlias(TLeituraAlias leitura);

// Where a failed attempt is written down (the error log); db/ knows nothing of the logs.
using TRegistroFalha = std::function<void(const QString& linha)>;

// Configures and opens the connection. Raises EErro, for the start-up's failure path, when it is
// not open afterwards: a Caminho.ini that names no database (unreadable, empty, without CAMINHO in
// [DATABASEESTOQUE]) or an alias that cannot be read, said with the file's name and nothing
// attached; or the operator gave up retrying, said with the database and where it came from.
// `relogio` gives the current folder and the pause; `mensagens` asks the operator;
// `registraFalha` gets one line per failed attempt: the database location and the server's reason,
// never the password.
void AbreBanco(TConexao& conexao, const TRelogio& relogio, TMensagens& mensagens,
               const TDefinicaoBanco& banco = DefinicaoDbTankora(), const TRegistroFalha& registraFalha = {});
// One connection attempt: true when connected afterwards; never raises. `motivo` gets the server's
// message of a failure.
bool AbreConexao(TConexao& conexao, QString* motivo = nullptr);
// The line a failed attempt leaves in the error log.
QString TextoFalhaConexao(const TConexao& conexao, const QString& motivo);
// The text with every occurrence of the connection's password masked (for texts that may echo it).
QString OcultaSenha(const TConexao& conexao, QString texto);
// Sets DataBase, User_Name and Password from the definition, its alias, or the "Tankora.gdb" fallback.
void ConfiguraConexao(TConexao& conexao, const TDefinicaoBanco& banco);
// The text of the alias's first parameter line from position `inicio` (1-based) up to where the
// alias name first appears in its parameter text, trimmed.
void ExtraiCaminhoAlias(const QString& alias, int inicio, QString& diretorio);
