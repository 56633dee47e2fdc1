#include "RepositorioBicos.h"

#include "Contexto.h"

TRepositorioBicos::TRepositorioBicos(TContexto& contexto)
    : FConexao(contexto.CnTankora()), FBombas(&contexto.CnTankora()), FAtualizaStatus(&contexto.CnTankora()),
      FStatusGravados(&contexto.CnTankora()), FBicosConcentrador(&contexto.CnTankora())
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
    // Rows that hold the letter already are not rewritten: every rewrite would be a page forced
    // to disk for nothing.
    FAtualizaStatus.DefineSQL(QStringLiteral("UPDATE BOMBAS SET                                  BOMBAS.statusbico = "
                                             ":PStatusBico                  Where BOMBAS.codconcentrador = "
                                             ":PCodConcentrador And (BOMBAS.statusbico Is Null Or "
                                             "BOMBAS.statusbico <> :PStatusBico)"));
    FStatusGravados.DefineSQL(QStringLiteral("Select CodConcentrador, statusbico From Bombas "
                                             "Where CodConcentrador Is Not Null"));
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

void TRepositorioBicos::LeStatusGravados()
{
    FStatus.clear();
    FStatusLido = false;
    FStatusGravados.Abre();
    for (; !FStatusGravados.Fim(); FStatusGravados.Proximo()) {
        // Compared as the server compares texts: trailing blanks do not count.
        QString codigo = FStatusGravados.CampoTexto(QStringLiteral("CodConcentrador"));
        while (codigo.endsWith(' '))
            codigo.chop(1);
        const QString letra = FStatusGravados.CampoTexto(QStringLiteral("statusbico"));
        const auto achado = FStatus.constFind(codigo);
        FStatus.insert(codigo, achado == FStatus.cend() || *achado == letra ? letra : QString());
    }
    FStatusGravados.Fecha();
    FStatusLido = true;
}

void TRepositorioBicos::GravaStatusBico(const QString& letra, const QString& codigo)
{
    QString* gravada = nullptr;
    if (FStatusLido && !letra.isEmpty()) {
        QString chave = codigo;
        while (chave.endsWith(' '))
            chave.chop(1);
        const auto achado = FStatus.find(chave);
        if (achado == FStatus.end() || *achado == letra)
            return; // no nozzle has this code, or every one holds this letter already
        gravada = &*achado;
    }
    FAtualizaStatus.DefineTexto(QStringLiteral("PStatusBico"), letra);
    FAtualizaStatus.DefineTexto(QStringLiteral("PCodConcentrador"), codigo);
    FAtualizaStatus.Executa();
    if (gravada)
        *gravada = letra;
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
