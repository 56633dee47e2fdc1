#pragma once
// The station's nozzles (table Bombas with their tank and product) as the poll cycle reads and
// writes them.
#include "Conexao.h"

#include <QHash>
#include <QList>

#include <optional>

class TContexto;

// One nozzle found by its concentrator code.
struct TBico {
    QString CodBico;
    QString CodTanque;
    QString DescricaoBico;
    QString CodConcentrador;
    QString Grade; // the tank's code
    QString CodProd;
    QString DescricaoProduto;
};

// A nozzle on the concentrator, as the block dialog lists it.
struct TBicoConcentrador {
    QString CodBico;
    QString Descricao;
    QString CodConcentrador;
};

class TRepositorioBicos {
public:
    explicit TRepositorioBicos(TContexto& contexto);

    // The nozzle whose concentrator code (three decimal digits) is `codigo`; the first one found.
    std::optional<TBico> LocalizaBico(const QString& codigo);
    // Writes one status letter to every nozzle with that concentrator code. Rows that hold it
    // already are left alone: inside a transaction, the stored letters are read once (for the
    // whole status refresh) and only the codes whose letter changed are written, so a refresh in
    // which nothing changed writes nothing at all.
    void GravaStatusBico(const QString& letra, const QString& codigo);
    // The nozzles with a concentrator code, by nozzle code.
    QList<TBicoConcentrador> BicosConcentrador();

private:
    TConexao& FConexao;
    TConsulta FBombas;
    TConsulta FAtualizaStatus;
    TConsulta FStatusGravados;
    // The letter every nozzle of a code holds, as read (and since written) in the transaction
    // FTransacaoStatus; an empty text when they differ or one holds none.
    QHash<QString, QString> FStatus;
    std::optional<quint64> FTransacaoStatus;

    void LeStatusGravados();
    TConsulta FBicosConcentrador;
};
