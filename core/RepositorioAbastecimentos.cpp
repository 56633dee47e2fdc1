#include "RepositorioAbastecimentos.h"

#include "Contexto.h"

TRepositorioAbastecimentos::TRepositorioAbastecimentos(TContexto& contexto)
    : FMvAbast(&contexto.CnTankora()), FExiste(&contexto.CnTankora()), FInsere(&contexto.CnTankora()),
      FJaGravado(&contexto.CnTankora()), FMesmoEncerrante(&contexto.CnTankora())
{
    // Each branch names the whole unique key: prepared while MvAbast is still empty, an "In" on the
    // sequence was planned on the date index and read every fueling of the day, for as long as the
    // program ran.
    FJaGravado.DefineSQL(QStringLiteral("Select Hora, Sequencia From MvAbast Where ((Id = :PId And Sequencia = "
                                        ":PSequencia And Data = :PData) Or (Id = :PId And Sequencia = :PAnterior "
                                        "And Data = :PData)) And CodBico = :PCodBico "
                                        "And Litragem Between :PMinimo And :PMaximo"));
    // Found through the ID: a handful of rows over the years, where the date would read a whole day.
    FMesmoEncerrante.DefineSQL(QStringLiteral("Select Data, Hora, Sequencia From MvAbast Where Id = :PId And CodBico = :PCodBico "
                                              "And EncerranteFinal Between :PMinimo And :PMaximo"));
    FMvAbast.setObjectName(QStringLiteral("MvAbast"));
    FMvAbast.DefineSQL(QStringLiteral("Select * From MvAbast      Where Data    = :PData    And   Hora    = "
                                      ":PHora    And   CodBico = :PCodBico"));
    FExiste.DefineSQL(QStringLiteral("Select * From MvAbast            Where ID        = :PID         And   "
                                     "Sequencia = :PSequencia  And   Data = :PData"));
    FInsere.DefineSQL(QStringLiteral("INSERT into mvabast(           mvabast.Data,               mvabast.Hora,               mvabast.CodBico,            mvabast.Combustivel,        mvabast.Litragem,           mvabast.Valor,              mvabast.CodProd,            mvabast.CodGrade,           mvabast.CodFid,             mvabast.PrecoUnit,          mvabast.Desconto,           mvabast.Emitido,            mvabast.Id,                 mvabast.Sequencia,          mvabast.EncerranteFinal)  Values(                       :PData,                     :PHora,                     :PCodBico,                  :PCombustivel,              :PLitragem,                 :PValor,                    :PCodProd,                  :PCodGrade,                 :PCodFid,                   :PPrecoUnit,                :PDesconto,                 :PEmitido,                  :PId,                       :PSequencia,                :PEncerranteFinal)       "));
}

bool TRepositorioAbastecimentos::ExisteNaHora(const QString& dataComPontos, const QString& hora, const QString& codBico)
{
    FMvAbast.DefineTexto(QStringLiteral("PData"), dataComPontos);
    FMvAbast.DefineTexto(QStringLiteral("PHora"), hora);
    FMvAbast.DefineTexto(QStringLiteral("PCodBico"), codBico);
    FMvAbast.Abre();
    return !FMvAbast.Vazia();
}

bool TRepositorioAbastecimentos::ExisteAbastecimento(qint32 id, qint64 sequencia, const QString& dataComPontos)
{
    FExiste.DefineInteiro(QStringLiteral("PID"), id);
    FExiste.DefineInteiro(QStringLiteral("PSequencia"), sequencia);
    FExiste.DefineTexto(QStringLiteral("PData"), dataComPontos);
    FExiste.Abre();
    const bool existe = !FExiste.Vazia();
    FExiste.Fecha();
    return existe;
}

void TRepositorioAbastecimentos::Insere(const TLinhaMvAbast& linha)
{
    FInsere.DefineData(QStringLiteral("PData"), linha.Data);
    FInsere.DefineTexto(QStringLiteral("PHora"), linha.Hora);
    FInsere.DefineTexto(QStringLiteral("PCodBico"), linha.CodBico);
    FInsere.DefineTexto(QStringLiteral("PCombustivel"), linha.Combustivel);
    FInsere.DefineDouble(QStringLiteral("PLitragem"), linha.Litragem);
    FInsere.DefineDouble(QStringLiteral("PValor"), linha.Valor);
    FInsere.DefineTexto(QStringLiteral("PCodProd"), linha.CodProd);
    FInsere.DefineTexto(QStringLiteral("PCodGrade"), linha.CodGrade);
    if (linha.CodFid.isNull())
        FInsere.DefineNuloTexto(QStringLiteral("PCodFid"));
    else
        FInsere.DefineTexto(QStringLiteral("PCodFid"), linha.CodFid);
    FInsere.DefineDouble(QStringLiteral("PPrecoUnit"), linha.PrecoUnit);
    FInsere.DefineDouble(QStringLiteral("PDesconto"), linha.Desconto);
    FInsere.DefineTexto(QStringLiteral("PEmitido"), QStringLiteral("N"));
    FInsere.DefineInteiro(QStringLiteral("PId"), linha.Id);
    FInsere.DefineInteiro(QStringLiteral("PSequencia"), linha.Sequencia);
    FInsere.DefineDouble(QStringLiteral("PEncerranteFinal"), linha.EncerranteFinal);
    FInsere.Executa();
}

QList<TRepositorioAbastecimentos::TGravada> TRepositorioAbastecimentos::Gravadas(qint32 id, const QDate& data,
                                                                                 const QString& codBico,
                                                                                 double litragem, qint64 sequencia)
{
    // Litres travel as doubles: the same reading within half a millilitre.
    constexpr double kTolerancia = 0.0005;
    FJaGravado.DefineInteiro(QStringLiteral("PId"), id);
    FJaGravado.DefineData(QStringLiteral("PData"), data);
    FJaGravado.DefineTexto(QStringLiteral("PCodBico"), codBico);
    FJaGravado.DefineInteiro(QStringLiteral("PSequencia"), sequencia);
    FJaGravado.DefineInteiro(QStringLiteral("PAnterior"), sequencia - 1);
    FJaGravado.DefineDouble(QStringLiteral("PMinimo"), litragem - kTolerancia);
    FJaGravado.DefineDouble(QStringLiteral("PMaximo"), litragem + kTolerancia);
    FJaGravado.Abre();
    QList<TGravada> gravadas;
    for (; !FJaGravado.Fim(); FJaGravado.Proximo())
        gravadas.append({FJaGravado.CampoInteiro(QStringLiteral("Sequencia")), FJaGravado.CampoTexto(QStringLiteral("Hora"))});
    FJaGravado.Fecha();
    return gravadas;
}

std::optional<TRepositorioAbastecimentos::TGravada>
TRepositorioAbastecimentos::ComEncerrante(qint32 id, const QDate& data, const QString& codBico, double encerranteFinal)
{
    // Totalizers travel as doubles too: the same reading within half a millilitre.
    constexpr double kTolerancia = 0.0005;
    FMesmoEncerrante.DefineTexto(QStringLiteral("PCodBico"), codBico);
    FMesmoEncerrante.DefineInteiro(QStringLiteral("PId"), id);
    FMesmoEncerrante.DefineDouble(QStringLiteral("PMinimo"), encerranteFinal - kTolerancia);
    FMesmoEncerrante.DefineDouble(QStringLiteral("PMaximo"), encerranteFinal + kTolerancia);
    FMesmoEncerrante.Abre();
    std::optional<TGravada> achada;
    for (; !achada && !FMesmoEncerrante.Fim(); FMesmoEncerrante.Proximo())
        if (FMesmoEncerrante.Campo(QStringLiteral("Data")).toDate() == data)
            achada = TGravada{FMesmoEncerrante.CampoInteiro(QStringLiteral("Sequencia")),
                              FMesmoEncerrante.CampoTexto(QStringLiteral("Hora"))};
    FMesmoEncerrante.Fecha();
    return achada;
}
