#pragma once
// The operator's steps asked on the bus, served by this process's engine through the same
// interface the window's dialogs use (TOperacoesPosto): each call becomes the dialog's steps in
// order, loading the station's list, marking the nozzles named, acting, and is answered from the
// last step's completion on this object's thread, which never waits for the engine.
#include "AtendimentoOperador.h"
#include "OperacoesPosto.h"

#include <QObject>

#include <functional>

class TAtendimentoMotor : public QObject, public TAtendimentoOperador {
public:
    // `aposOperacao`, when given, runs after every step that may have changed the published state
    // (the interval).
    explicit TAtendimentoMotor(TOperacoesPosto& operacoes, std::function<void()> aposOperacao = {},
                               QObject* parent = nullptr)
        : QObject(parent), FOperacoes(operacoes), FAposOperacao(std::move(aposOperacao))
    {
    }

    void Bicos(const TChamadaOperador& chamada) override;
    void LeEncerrantes(const TChamadaOperador& chamada, const QStringList& bicos) override;
    void GravaEncerrantes(const TChamadaOperador& chamada, const QStringList& bicos) override;
    void AlteraPrecos(const TChamadaOperador& chamada, const QStringList& bicos, const QStringList& precos) override;
    void Bloqueia(const TChamadaOperador& chamada, const QStringList& bicos, bool bloquear) override;
    void Captura(const TChamadaOperador& chamada, int id) override;
    void AcertaRelogio(const TChamadaOperador& chamada) override;
    void DefineIntervalo(const TChamadaOperador& chamada, int segundos) override;
    void ListaDiario(const TChamadaOperador& chamada, const QString& filtro, const QString& dia) override;
    void ReenviaDiario(const TChamadaOperador& chamada, qint64 numero, bool novaSequencia) override;

    // A reading row as the bus carries it.
    static QVariantMap Leitura(const TLinhaEncerrante& linha);

private:
    // The totalizer rows with the nozzles named marked (none named: every nozzle on the
    // concentrator), then `segue` with them; the caller gets the error when a nozzle is not the
    // station's or not on the concentrator.
    void MarcaEncerrantes(const TChamadaOperador& chamada, const QStringList& bicos,
                          std::function<void(QList<TLinhaEncerrante>)> segue);

    TOperacoesPosto& FOperacoes;
    std::function<void()> FAposOperacao;
};
