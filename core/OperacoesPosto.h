#pragma once
// The operator's steps, as every face of the program asks for them: the window's dialogs, and
// whatever drives a running engine from outside. Each step is asked on the caller's thread and
// answered there later, never waiting: the in-process implementation runs it on the engine's
// thread (TMotor); another implementation may carry it to an engine in another process. Arguments
// and answers are plain values.
//
// Every step that changes or asks something of the station (all but the loads and the journal's
// listing) writes one line to LogOperacoes in the station folder; see LogOperacoes.h.
#include "Diario.h"
#include "Erro.h"
#include "ServicoAlteraPreco.h"
#include "ServicoBloqueio.h"
#include "ServicoCaptura.h"
#include "ServicoEncerrantes.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class TMotor;

// A step's answer. Erro holds the Portuguese message of a step that raised (the window's default
// error box shows it); the value then is default. AvisoLog is set when the step's LogOperacoes line
// could not be written: the step's own outcome stays what Valor() says.
template <class T>
struct TRespostaOperacao {
    T Dados{};
    QString Erro;
    QString AvisoLog;
    bool Falhou() const { return !Erro.isEmpty(); }
    // The value; raises EErro with Erro when the step raised.
    const T& Valor() const
    {
        if (Falhou())
            throw EErro(Erro);
        return Dados;
    }
};

// The totalizer reading: every row as it now stands, and the nozzles that could not be read.
struct TLeituraEncerrantes {
    QList<TLinhaEncerrante> Linhas;
    QStringList NaoLidos;
};

// Block and release commands: which nozzles were blocked and released, and the message for each
// command refused (the nozzle in BicosFalhos, in the same order).
struct TResultadoBloqueio {
    QStringList Bloqueados;
    QStringList Liberados;
    QStringList BicosFalhos;
    QStringList Falhas;
};

// The concentrator's clock set: the computer's date and time it was set to.
struct TResultadoRelogio {
    QString DataHora;
};

// The poll interval: Falha is the box's text when it was refused (the interval stays as it was).
struct TResultadoIntervalo {
    qint64 Anterior = 0; // seconds
    qint64 Atual = 0;
    QString Falha;
};

// The journal's held entries sent back to waiting.
struct TResultadoReenvio {
    int Quantas = 0;
};

class TOperacoesPosto {
public:
    template <class T>
    using TConclusao = std::function<void(const TRespostaOperacao<T>&)>;
    // After each marked row is read: its index, the row as it stands, the status text.
    using TProgressoLeitura = std::function<void(int indice, const TLinhaEncerrante& linha, const QString& status)>;
    // After each row is recorded: the status text.
    using TProgressoGravacao = std::function<void(const QString& status)>;
    struct TVazio {};

    virtual ~TOperacoesPosto() = default;

    // In every step `dono` is the asker: the answer (and any progress) runs on the caller's thread
    // while it lives, and is dropped once it is gone. `usuario` names who asked, for LogOperacoes.

    // What the dialogs load.
    virtual void CarregaPrecos(QObject* dono, TConclusao<QList<TLinhaPreco>> concluido) = 0;
    virtual void CarregaEncerrantes(QObject* dono, TConclusao<QList<TLinhaEncerrante>> concluido) = 0;
    // The nozzles on the concentrator, the blocked ones marked.
    virtual void CarregaBloqueio(QObject* dono, TConclusao<QList<TBicoBloqueio>> concluido) = 0;

    // Reads the totalizers of the marked rows (see TServicoEncerrantes::LeEncerrantes).
    virtual void LeEncerrantes(QObject* dono, const QString& usuario, const QList<TLinhaEncerrante>& linhas,
                               TProgressoLeitura progresso, TConclusao<TLeituraEncerrantes> concluido) = 0;
    // Records the marked rows under the open shift (see TServicoEncerrantes::GravaEncerrantes).
    virtual void GravaEncerrantes(QObject* dono, const QString& usuario, const QList<TLinhaEncerrante>& linhas,
                                  TProgressoGravacao progresso, TConclusao<TResultadoGravacao> concluido) = 0;

    // Every row's price to Bombas and the pump (see TServicoAlteraPreco::GravaPrecos). Each price
    // is checked first; a refused one raises its check's message and nothing is written or sent.
    virtual void GravaPrecos(QObject* dono, const QString& usuario, const QList<TLinhaPreco>& linhas,
                             TConclusao<TResultadoPrecos> concluido) = 0;

    // One command for each row whose mark differs from its Bloqueado: block the marked, release
    // the others.
    virtual void Bloqueia(QObject* dono, const QString& usuario, const QList<TBicoBloqueio>& bicos,
                          TConclusao<TResultadoBloqueio> concluido) = 0;

    // Capture by ID. PausaLeitura switches the poll timer off while the operator confirms; the
    // capture switches it on again at its end, RetomaLeitura when no capture follows.
    virtual void PausaLeitura(QObject* dono, TConclusao<TVazio> concluido) = 0;
    virtual void RetomaLeitura(QObject* dono) = 0;
    // `texto` is the ID as the operator wrote it (named in the answer's text).
    virtual void Captura(QObject* dono, const QString& usuario, qint32 id, const QString& texto,
                         TConclusao<TResultadoCaptura> concluido) = 0;

    // The concentrator's clock to the computer's date and time.
    virtual void AcertaRelogio(QObject* dono, const QString& usuario, TConclusao<TResultadoRelogio> concluido) = 0;
    // Seconds between two polls, as the field's text.
    virtual void AlteraIntervalo(QObject* dono, const QString& usuario, const QString& segundos,
                                 TConclusao<TResultadoIntervalo> concluido) = 0;

    // The journal: a listing (`dia` invalid: every day), and held (or missing) entries sent back to
    // waiting, `numero` 0 for every held one.
    virtual void ListaDiario(QObject* dono, TFiltroDiario filtro, const QDate& dia,
                             TConclusao<QList<TEntradaDiario>> concluido) = 0;
    virtual void ReenviaDiario(QObject* dono, const QString& usuario, qint64 numero, bool novaSequencia,
                               TConclusao<TResultadoReenvio> concluido) = 0;

    // The login name of this process's user.
    static QString UsuarioLocal();
};

// The steps run by this process's own engine, as jobs on its thread.
class TOperacoesLocais : public TOperacoesPosto {
public:
    explicit TOperacoesLocais(TMotor& motor) : FMotor(motor) {}

    void CarregaPrecos(QObject* dono, TConclusao<QList<TLinhaPreco>> concluido) override;
    void CarregaEncerrantes(QObject* dono, TConclusao<QList<TLinhaEncerrante>> concluido) override;
    void CarregaBloqueio(QObject* dono, TConclusao<QList<TBicoBloqueio>> concluido) override;
    void LeEncerrantes(QObject* dono, const QString& usuario, const QList<TLinhaEncerrante>& linhas,
                       TProgressoLeitura progresso, TConclusao<TLeituraEncerrantes> concluido) override;
    void GravaEncerrantes(QObject* dono, const QString& usuario, const QList<TLinhaEncerrante>& linhas,
                          TProgressoGravacao progresso, TConclusao<TResultadoGravacao> concluido) override;
    void GravaPrecos(QObject* dono, const QString& usuario, const QList<TLinhaPreco>& linhas,
                     TConclusao<TResultadoPrecos> concluido) override;
    void Bloqueia(QObject* dono, const QString& usuario, const QList<TBicoBloqueio>& bicos,
                  TConclusao<TResultadoBloqueio> concluido) override;
    void PausaLeitura(QObject* dono, TConclusao<TVazio> concluido) override;
    void RetomaLeitura(QObject* dono) override;
    void Captura(QObject* dono, const QString& usuario, qint32 id, const QString& texto,
                 TConclusao<TResultadoCaptura> concluido) override;
    void AcertaRelogio(QObject* dono, const QString& usuario, TConclusao<TResultadoRelogio> concluido) override;
    void AlteraIntervalo(QObject* dono, const QString& usuario, const QString& segundos,
                         TConclusao<TResultadoIntervalo> concluido) override;
    void ListaDiario(QObject* dono, TFiltroDiario filtro, const QDate& dia,
                     TConclusao<QList<TEntradaDiario>> concluido) override;
    void ReenviaDiario(QObject* dono, const QString& usuario, qint64 numero, bool novaSequencia,
                       TConclusao<TResultadoReenvio> concluido) override;

    TMotor& Motor() const { return FMotor; }

private:
    TMotor& FMotor;
};
