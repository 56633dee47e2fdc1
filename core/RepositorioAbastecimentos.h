#pragma once
// The stored fuelings (table MvAbast).
#include "Conexao.h"

#include <QStringList>

#include <optional>

class TContexto;

// One row of MvAbast as the fueling road binds it.
struct TLinhaMvAbast {
    QDate Data;
    QString Hora;
    QString CodBico;
    QString Combustivel;
    double Litragem = 0;
    double Valor = 0;
    QString CodProd;
    QString CodGrade;
    QString CodFid; // null text: NULL
    double PrecoUnit = 0;
    double Desconto = 0;
    qint32 Id = 0;
    qint64 Sequencia = 0;
    double EncerranteFinal = 0;
};

class TRepositorioAbastecimentos {
public:
    explicit TRepositorioAbastecimentos(TContexto& contexto);

    // Whether a fueling of this nozzle is stored at this date (day.month.year) and time.
    bool ExisteNaHora(const QString& dataComPontos, const QString& hora, const QString& codBico);
    // Whether the fueling with this ID and sequence is stored at this date (day.month.year).
    bool ExisteAbastecimento(qint32 id, qint64 sequencia, const QString& dataComPontos);
    void Insere(const TLinhaMvAbast& linha);
    // The times of the rows that may be this concentrator fueling: the same ID and date under the
    // given sequence or the one before it, on the same nozzle, with the same litres. A fueling
    // delivered again after a crash or a capture by ID must never become a second row.
    struct TGravada {
        qint64 Sequencia = 0;
        QString Hora;
    };
    QList<TGravada> Gravadas(qint32 id, const QDate& data, const QString& codBico, double litragem,
                             qint64 sequencia);
    // Whether a row of this date, nozzle and concentrator ID holds this totalizer after the sale: the
    // same fueling whatever sequence it was stored under and whatever was edited in it since. The
    // totalizer only grows with each sale, so another sale at the same nozzle never has it.
    // The row found, if any.
    std::optional<TGravada> ComEncerrante(qint32 id, const QDate& data, const QString& codBico,
                                          double encerranteFinal);

private:
    TConsulta FMvAbast;
    TConsulta FExiste;
    TConsulta FInsere;
    TConsulta FJaGravado;
    TConsulta FMesmoEncerrante;
};
