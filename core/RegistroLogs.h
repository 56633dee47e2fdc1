#pragma once
// The poll road's way to its two logs, shared by the cycle, the fueling writer, the outage state
// and the status monitor, none of which knows the others: a line that cannot be written is kept
// (and written once the folder accepts writing), never raised.
#include "DadosAbastecimento.h"
#include "LogArquivos.h"

#include <QObject>

class TContexto;

class TRegistroLogs : public QObject {
    Q_OBJECT
public:
    explicit TRegistroLogs(TContexto& contexto, QObject* parent = nullptr);

    // One line of the error log.
    void RegistraErro(const QString& mensagem);
    // One fueling line to the day's file and to the pane.
    void EscreveLinha(const QString& linha);
    // Writes the kept lines of both logs, once they fail no more.
    void Descarrega();
    // Some line is kept because its file cannot be written; the file system's reason.
    bool SemGravacao() const { return FSemGravacao; }
    QString Motivo() const;
    TCausaFalhaLog Causa() const;
    // What the error log needs to find a fueling again (capture by ID).
    QString Rastro(const TDadosAbastecimento& dados) const;

signals:
    void LinhaLogEscrita(const QString& linha);
    // SemGravacao() changed.
    void GravacaoAlterada();

private:
    void MarcaSemGravacao();

    TContexto& FContexto;
    TLogArquivo FLogAbastecimentos;
    bool FSemGravacao = false;
};
