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
    // Reads the letters the nozzles hold now, before a status refresh's transaction.
    void LeStatusGravados();
    // The letters read are no longer to be trusted (a refresh that did not commit on its own, a
    // new connection): the next refresh reads them again.
    void EsqueceStatusGravados() { FStatusLido = false; }
    bool StatusGravadosLidos() const { return FStatusLido; }
    // Writes one status letter to every nozzle with that concentrator code. After
    // LeStatusGravados, codes whose every nozzle holds the letter already are left alone, so a
    // refresh in which nothing changed writes nothing at all.
    void GravaStatusBico(const QString& letra, const QString& codigo);
    // The nozzles with a concentrator code, by nozzle code.
    QList<TBicoConcentrador> BicosConcentrador();

private:
    TConexao& FConexao;
    TConsulta FBombas;
    TConsulta FAtualizaStatus;
    TConsulta FStatusGravados;
    // The letter every nozzle of a code holds, as last read (and since written); an empty text
    // when they differ or one holds none.
    QHash<QString, QString> FStatus;
    bool FStatusLido = false;
    TConsulta FBicosConcentrador;
};
