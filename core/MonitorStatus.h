#pragma once
// The pump status monitor: copies the concentrator's nozzle status letters into Bombas.statusbico.
#include "RepositorioBicos.h"
#include "StatusBicos.h"

#include <QStringList>

class TContexto;
class TRegistroLogs;

class TMonitorStatus {
public:
    TMonitorStatus(TContexto& contexto, TRegistroLogs& logs);

    // The letters the nozzles hold are kept from one refresh to the next, so a station at rest
    // reads and writes nothing; they are read again every this many refreshes (about a minute at
    // the usual interval), in case another program changed one.
    static constexpr int kRefreshesReleituraStatus = 60;
    // A status read without answer writes nothing and raises nothing: Mudo() says so until the
    // concentrator answers again. A status write the database refuses raises.
    void AtualizaStatusBicos();
    static QStringList MontaCanais(const QString& Codigo);
    // The letters read are no longer to be trusted (the monitor was off, a new connection).
    void EsqueceStatusGravados() { FBicos.EsqueceStatusGravados(); }
    // The last status read got no answer; its message.
    bool Mudo() const { return !FSemResposta.isEmpty(); }
    const QString& SemResposta() const { return FSemResposta; }

private:
    TContexto& FContexto;
    TRegistroLogs& FLogs;
    TRepositorioBicos FBicos;
    int FRefreshesSemLerStatus = 0; // refreshes since the stored letters were last read
    TStatusBicos FStatusAplicado;   // the concentrator's answer the last refresh wrote
    QString FSemResposta;
    bool FFalhaStatusBanco = false; // the status writes fail for a database reason: logged once
};
