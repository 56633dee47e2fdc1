#include "RepositorioPrecos.h"

#include "Contexto.h"

TRepositorioPrecos::TRepositorioPrecos(TContexto& contexto)
    : FBombas(&contexto.CnTankora()), FAtualizaPreco(&contexto.CnTankora())
{
    FBombas.setObjectName(QStringLiteral("Bombas"));
    FBombas.DefineSQL(QStringLiteral("Select CodBico, Descricao, CodConcentrador, PrecoVenda From Bombas where "
                                     "Coalesce(bombas.codconcentrador, '') <> '' Order By CodBico"));
    FAtualizaPreco.DefineSQL(QStringLiteral("Update Bombas Set PrecoVenda = :PPrecoVenda Where CodBico = :PCodBico"));
}

QList<TPrecoBico> TRepositorioPrecos::ListaPrecos()
{
    FBombas.Fecha();
    FBombas.Abre();
    QList<TPrecoBico> precos;
    for (; !FBombas.Fim(); FBombas.Proximo()) {
        TPrecoBico preco;
        preco.CodBico = FBombas.CampoTexto(QStringLiteral("CodBico"));
        preco.Descricao = FBombas.CampoTexto(QStringLiteral("Descricao"));
        preco.CodConcentrador = FBombas.CampoTexto(QStringLiteral("CodConcentrador"));
        preco.PrecoVenda = FBombas.CampoDouble(QStringLiteral("PrecoVenda"));
        precos << preco;
    }
    return precos;
}

int TRepositorioPrecos::GravaPrecoVenda(const QString& codBico, double preco)
{
    FAtualizaPreco.DefineDouble(QStringLiteral("PPrecoVenda"), preco);
    FAtualizaPreco.DefineTexto(QStringLiteral("PCodBico"), codBico);
    return FAtualizaPreco.Executa();
}
