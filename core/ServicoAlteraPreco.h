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

// What "&OK" ended in. Refused prices were not written: those nozzles keep their price in Bombas
// and at the pump. When the database failed, nothing was written, and the nozzles whose pumps took
// the new price are named, for the operator to put right.
struct TResultadoPrecos {
    QStringList Recusados;   // concentrator codes, "068"
    QStringList SoNaBomba;   // nozzle codes whose pump took a price the database did not
    QString ErroBanco;       // empty when the prices were stored
};

// Runs on the engine's thread, except the checks of typed text; tells the operator nothing itself.
class TServicoAlteraPreco {
public:
    // The highest price a pump shows: four digits and three decimals.
    static constexpr double kPrecoMaximo = 9999.999;

    explicit TServicoAlteraPreco(TContexto& contexto);

    // Every nozzle with a concentrator code, its price with three decimals.
    QList<TLinhaPreco> CarregaPrecos();

    // Checks a typed price. Whenever it reads as a number it is rewritten with three decimals
    // ("2,5" gives "2,500"), also when it is then refused for not being above zero. A price past
    // kPrecoMaximo, or written with an exponent ("1e3"), is invalid.
    static TValidacaoPreco ValidaPreco(QString& texto, const TConfiguracaoRegional& regional);
    static QString MensagemValidacao(TValidacaoPreco validacao);
    static QString MensagemRecusado(const QString& codConcentrador);
    static QString MensagemSoNaBomba(const TResultadoPrecos& resultado);

    // The concentrator's form of a nozzle code ("068" gives "44"). Raises when not an integer.
    static QString CodigoHexadecimal(const QString& codConcentrador);

    // "&OK" for rows already checked: each price is sent to its pump, mode 3, and only a price the
    // pump took is written to Bombas, all in one transaction committed after the last row.
    TResultadoPrecos GravaPrecos(const QList<TLinhaPreco>& linhas);

    // One row's price to the concentrator, mode 3; raises on any failure.
    void EnviaPreco(const TLinhaPreco& linha);

private:
    TContexto& FContexto;
    TRepositorioPrecos FPrecos;
};
