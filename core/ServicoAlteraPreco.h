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
    QString PrecoAnterior;   // the price pump and database last agreed on, as Preco was loaded
};

enum class TValidacaoPreco { Valido, EmBranco, NaoPositivo, Invalido };

// What "&OK" ended in, by nozzle code ("03"). Each row is one unit: its price is written, sent to
// the pump and committed, or left as it was in both places.
struct TResultadoPrecos {
    QStringList Gravados;    // pump and Bombas hold the row's price now
    QStringList Alterados;   // of those, the ones whose price changed
    QStringList SemResposta; // the pump did not confirm the price: Bombas kept the old one
    QStringList SoNaBomba;   // the pump took the price, the commit failed: Bombas kept the old one
    QString ErroBanco;       // the database failure that ended "&OK" (later rows untouched); empty when none
    bool Falhou() const { return !SemResposta.isEmpty() || !SoNaBomba.isEmpty() || !ErroBanco.isEmpty(); }
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
    // The one box after an "&OK" that did not go through everywhere: the database's error, the
    // pumps that did not answer, and which nozzles now hold their new price in pump and database.
    static QString MensagemFalha(const TResultadoPrecos& resultado);

    // The concentrator's form of a nozzle code ("068" gives "44"). Raises when not an integer.
    static QString CodigoHexadecimal(const QString& codConcentrador);

    // "&OK" for rows already checked, in order, each in a transaction of its own: the price is
    // written to Bombas, sent to the pump (mode 3) and committed only when the pump confirmed it,
    // so pump and database keep one price. A database failure ends it there: later rows are not
    // sent.
    TResultadoPrecos GravaPrecos(const QList<TLinhaPreco>& linhas);

    // One row's price to the concentrator, mode 3; raises on any failure.
    void EnviaPreco(const TLinhaPreco& linha);

private:
    TContexto& FContexto;
    TRepositorioPrecos FPrecos;
};
