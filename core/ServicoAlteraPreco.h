#pragma once
// The nozzle price change behind its dialog: the list of nozzles with their prices, the check of
// a typed price, and "&OK", which writes every price to Bombas and sends it to the concentrator.
#include "RepositorioPrecos.h"

#include <functional>

class TContexto;

// One row as the dialog's grid holds it: texts, the price as the operator reads it.
struct TLinhaPreco {
    QString CodBico;
    QString Descricao;
    QString Preco;
    QString CodConcentrador; // three decimal digits, "068"
};

enum class TValidacaoPreco { Valido, EmBranco, NaoPositivo, Invalido };

class TServicoAlteraPreco {
public:
    explicit TServicoAlteraPreco(TContexto& contexto);

    // Every nozzle with a concentrator code, its price with three decimals.
    QList<TLinhaPreco> CarregaPrecos();

    // Checks a typed price. Whenever it reads as a number it is rewritten with three decimals
    // ("2,5" gives "2,500"), also when it is then refused for not being above zero.
    TValidacaoPreco ValidaPreco(QString& texto) const;
    static QString MensagemValidacao(TValidacaoPreco validacao);
    QString FormataPreco(double preco) const;

    // The concentrator's form of a nozzle code: the decimal code in upper-case hexadecimal with
    // at least two digits ("068" gives "44"). Raises when the code is not an integer.
    static QString CodigoHexadecimal(const QString& codConcentrador);

    // "&OK", in one transaction on the shared connection. For each row in order: `valida(r)`
    // checks it (and tells the operator why not); a refused row rolls back what this call wrote
    // and ends it, returning false. Otherwise the price of `linha(r)` is written to Bombas and
    // sent to the concentrator; a send that fails is told ("Erro ao atualizar o preco na Bomba: "
    // and the code) and the next rows go on. Commits after the last row and returns true. A
    // database error rolls back and is raised, so no poll tick commits half a change.
    bool GravaPrecos(int quantidade, const std::function<bool(int)>& valida,
                     const std::function<TLinhaPreco(int)>& linha);

    // One row's price to the concentrator, mode 3; raises on any failure.
    void EnviaPreco(const TLinhaPreco& linha);

private:
    TContexto& FContexto;
    TRepositorioPrecos FPrecos;
};
