#pragma once
// Linkor's state at a glance: the status line systemd shows for the service and the window's tray
// tip (the last fueling stored, how many since the start today, the notice in force), and a
// health file with the time of the last tick that ran to its end, for monitoring scripts.
#include <QDateTime>
#include <QString>

class TEstadoServico {
public:
    // The health file goes to the service's runtime folder (RUNTIME_DIRECTORY, set by the unit);
    // without one, none is written.
    explicit TEstadoServico(const QString& pastaSaude = qEnvironmentVariable("RUNTIME_DIRECTORY").section(':', 0, 0));

    void AbastecimentoGravado(const QDateTime& quando = QDateTime::currentDateTime());
    void DefineAviso(const QString& aviso) { FAviso = aviso; }
    const QString& Aviso() const { return FAviso; }
    // Writes the time of this tick to the health file (at most once a second).
    void TiqueBom(const QDateTime& quando = QDateTime::currentDateTime());

    QString Texto(const QDateTime& agora = QDateTime::currentDateTime()) const;
    // The fuelings alone: today's count since the start and the last one's time.
    QString Resumo(const QDateTime& agora = QDateTime::currentDateTime()) const;
    bool AlgumGravado() const { return FUltimo.isValid(); }
    // The health file's path; empty when there is none.
    const QString& ArquivoSaude() const { return FArquivoSaude; }

private:
    QString FAviso;
    QDateTime FUltimo;
    QDate FDia;
    int FNoDia = 0;
    QString FArquivoSaude;
    qint64 FUltimaSaude = 0;
};
