#include "RepositorioBicos.h"

#include "Contexto.h"

TRepositorioBicos::TRepositorioBicos(TContexto& contexto)
    : FBombas(&contexto.CnTankora()), FAtualizaStatus(&contexto.CnTankora()),
      FBicosConcentrador(&contexto.CnTankora())
{
    FBombas.setObjectName(QStringLiteral("Bombas"));
    FBombas.DefineSQL(QStringList{
        QStringLiteral("Select Bombas.CodBico,"),
        QStringLiteral("    Bombas.CodTanque,"),
        QStringLiteral("    Bombas.Descricao DescricaoBico,"),
        QStringLiteral("    Bombas.CodConcentrador,"),
        QStringLiteral("    Tanques.CodTanque Grade,"),
        QStringLiteral("    Produto.CodProd,"),
        QStringLiteral("    Produto.Descricao DescricaoProduto"),
        QStringLiteral("From  Bombas"),
        QStringLiteral("Inner Join Tanques On Tanques.CodTanque = Bombas.CodTanque"),
        QStringLiteral("Inner Join Produto On Produto.CodProd = Tanques.CodProd"),
        QStringLiteral("Where Bombas.CodConcentrador = :PConcentrador"),
    }.join('\n'));
    FAtualizaStatus.DefineSQL(QStringLiteral("UPDATE BOMBAS SET                                  BOMBAS.statusbico = "
                                             ":PStatusBico                  Where BOMBAS.codconcentrador = "
                                             ":PCodConcentrador "));
    FBicosConcentrador.DefineSQL(QStringLiteral(
        "Select CodBico, Descricao, CodConcentrador, PrecoVenda From Bombas where "
        "Coalesce(bombas.codconcentrador, '') <> '' Order By CodBico"));
}

std::optional<TBico> TRepositorioBicos::LocalizaBico(const QString& codigo)
{
    FBombas.DefineTexto(QStringLiteral("PConcentrador"), codigo);
    FBombas.Abre();
    if (FBombas.Vazia())
        return std::nullopt;
    TBico bico;
    bico.CodBico = FBombas.CampoTexto(QStringLiteral("CodBico"));
    bico.CodTanque = FBombas.CampoTexto(QStringLiteral("CodTanque"));
    bico.DescricaoBico = FBombas.CampoTexto(QStringLiteral("DescricaoBico"));
    bico.CodConcentrador = FBombas.CampoTexto(QStringLiteral("CodConcentrador"));
    bico.Grade = FBombas.CampoTexto(QStringLiteral("Grade"));
    bico.CodProd = FBombas.CampoTexto(QStringLiteral("CodProd"));
    bico.DescricaoProduto = FBombas.CampoTexto(QStringLiteral("DescricaoProduto"));
    return bico;
}

void TRepositorioBicos::GravaStatusBico(const QString& letra, const QString& codigo)
{
    FAtualizaStatus.DefineTexto(QStringLiteral("PStatusBico"), letra);
    FAtualizaStatus.DefineTexto(QStringLiteral("PCodConcentrador"), codigo);
    FAtualizaStatus.Executa();
}

QList<TBicoConcentrador> TRepositorioBicos::BicosConcentrador()
{
    FBicosConcentrador.Fecha();
    FBicosConcentrador.Abre();
    QList<TBicoConcentrador> bicos;
    for (; !FBicosConcentrador.Fim(); FBicosConcentrador.Proximo())
        bicos << TBicoConcentrador{FBicosConcentrador.CampoTexto(QStringLiteral("CodBico")),
                                   FBicosConcentrador.CampoTexto(QStringLiteral("Descricao")),
                                   FBicosConcentrador.CampoTexto(QStringLiteral("CodConcentrador"))};
    FBicosConcentrador.Fecha();
    return bicos;
}
