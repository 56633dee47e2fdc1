#pragma once
// The station as the service publishes it on the bus. It lives on the main thread and holds a copy
// of what the engine last said (fed by queued calls from the engine's signals), so that a client's
// question is answered at once from here: the bus never waits for the engine, and the engine never
// waits for the bus. The adaptor generated from br.com.linkor.Posto1.xml reads its properties,
// calls its slots and relays its signals.
#include "AtendimentoOperador.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <optional>

class TPostoPublicado : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_PROPERTY(QString Versao READ Versao)
    Q_PROPERTY(QString Status READ Status)
    Q_PROPERTY(QString Aviso READ Aviso)
    Q_PROPERTY(QString TipoAviso READ TipoAviso)
    Q_PROPERTY(qlonglong Aguardando READ Aguardando)
    Q_PROPERTY(qlonglong Retidos READ Retidos)
    Q_PROPERTY(QString UltimoGravado READ UltimoGravado)
    Q_PROPERTY(int AbastecimentosDoDia READ AbastecimentosDoDia)
    Q_PROPERTY(int IntervaloLeitura READ IntervaloLeitura)
    Q_PROPERTY(bool ModoTag READ ModoTag)
public:
    // The engine's state that changes between ticks, as the engine's thread last saw it.
    struct TEstado {
        QString Status;
        QString Aviso;
        QString TipoAviso;
        qint64 Aguardando = 0;
        qint64 Retidos = 0;
        int IntervaloLeitura = 0; // seconds
        bool ModoTag = false;
        bool operator==(const TEstado&) const = default;
    };

    explicit TPostoPublicado(const QString& versao, QObject* parent = nullptr);

    // Exports the object on `conexao`, then asks for the station's name. False, with the reason in
    // Portuguese in `erro`, when there is no bus or it refuses either; nothing stays exported then.
    bool Registra(QDBusConnection conexao, QString* erro);

    // What the engine said, on this object's thread.
    void DefineEstado(const TEstado& estado);
    // The day's log as the pane shows it: at start-up and when a new day begins.
    void DefineDia(const QStringList& linhas);
    // A fueling stored: its log line.
    void AcrescentaLinha(const QString& linha);
    // A box the engine would show.
    void Mostra(const QString& texto) { emit Mensagem(texto); }
    // Who serves the operator's steps; until given (or with none) each is refused with a message.
    void DefineAtendimento(TAtendimentoOperador* atendimento) { FAtendimento = atendimento; }

    const QString& Versao() const { return FVersao; }
    const QString& Status() const { return FEstado.Status; }
    const QString& Aviso() const { return FEstado.Aviso; }
    const QString& TipoAviso() const { return FEstado.TipoAviso; }
    qlonglong Aguardando() const { return FEstado.Aguardando; }
    qlonglong Retidos() const { return FEstado.Retidos; }
    const QString& UltimoGravado() const { return FUltimoGravado; }
    int AbastecimentosDoDia() const { return static_cast<int>(FLinhas.size()); }
    int IntervaloLeitura() const { return FEstado.IntervaloLeitura; }
    bool ModoTag() const { return FEstado.ModoTag; }

    // "DD/MM/AAAA HH:MM:SS BICO" of a fueling log line (its first three columns); empty for a line
    // of another form.
    static QString DataHoraBico(const QString& linha);
    // The status text without the polling animation (the trailing full stops), which would change
    // it every tick.
    static QString SemAnimacao(const QString& status);

public slots:
    QStringList LinhasDoDia() const { return FLinhas; }
    // The operator's steps come here: each hands its work to the engine's job queue and answers
    // the caller later (QDBusMessage::setDelayedReply), never holding this thread. What they
    // return is never sent.
    QList<QVariantMap> Bicos();
    QList<QVariantMap> LeEncerrantes(const QStringList& bicos);
    QList<QVariantMap> GravaEncerrantes(const QStringList& bicos, QString& mensagem);
    QString AlteraPrecos(const QStringList& bicos, const QStringList& precos);
    QString Bloqueia(const QStringList& bicos);
    QString Libera(const QStringList& bicos);
    QString Captura(int id);
    QString AcertaRelogio();
    QString DefineIntervalo(int segundos);
    QList<QVariantMap> ListaDiario(const QString& filtro, const QString& dia);
    QString ReenviaDiario(qlonglong numero, bool novaSequencia);

signals:
    void LinhaAbastecimento(const QString& linha);
    void AvisoAlterado(const QString& aviso, const QString& tipo);
    void Mensagem(const QString& texto);

private:
    // org.freedesktop.DBus.Properties.PropertiesChanged for what changed, when exported.
    void AnunciaAlteradas(const QVariantMap& alteradas);
    // The call being served, its reply delayed, for the operator's step; none (the caller answered
    // with an error already) when nobody serves the steps.
    std::optional<TChamadaOperador> Chamada();
    // The login name of whoever sent the call being served, from the bus: its uid's name, or the
    // uid itself.
    QString UsuarioDaChamada();

    QString FVersao;
    TEstado FEstado;
    QStringList FLinhas;
    QString FUltimoGravado;
    std::optional<QDBusConnection> FConexao;
    TAtendimentoOperador* FAtendimento = nullptr;
};
