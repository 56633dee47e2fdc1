#pragma once
// Fuelings for the benchmarks: each one unique in MvAbast (its own ID, date and time), spread
// over the demo station's four concentrator nozzles, as the concentrator hands them over.
#include "ClassConcentrador.h"
#include "Conexao.h"
#include "PostoTeste.h"

#include <cmath>

namespace Bancada {

// Fueling n of a run that starts on `inicio`: 5000 fuelings a day, each at its own second.
struct TFuelingGerado {
    QByteArray Bico;
    double Litros = 0;
    qint64 Preco = 58990;
    qint64 Total = 0;
    qint32 Id = 0;
    QByteArray Data;
    QByteArray Hora;
};

inline TFuelingGerado Gera(const QDate& inicio, int n)
{
    static const char* const kBicos[] = {"04", "05", "44", "45"};
    TFuelingGerado f;
    f.Bico = kBicos[n % 4];
    f.Litros = 10 + (n % 50) * 0.5;
    f.Total = std::llround(f.Litros * 5.899 * 100) * 100;
    f.Id = n % 5000 + 1;
    f.Data = inicio.addDays(n / 5000).toString(QStringLiteral("dd/MM/yyyy")).toLatin1();
    f.Hora = QTime(0, 0).addSecs((n % 5000) * 17).toString(QStringLiteral("hh:mm:ss")).toLatin1();
    return f;
}

inline TAbastecimento Plano(const TFuelingGerado& f)
{
    return Abastecimento(f.Bico, f.Litros, f.Preco, f.Total, f.Id, f.Data, f.Hora, 1000 + f.Litros);
}

inline TAbastecimentoFid ComTag(const TFuelingGerado& f)
{
    TAbastecimentoFid r = RegistroVazio<TAbastecimentoFid>();
    r.Valido = 1;
    r.Litragem = f.Litros;
    r.PrecoUnit = f.Preco;
    r.ValorTotal = f.Total;
    r.Bico.Define(f.Bico);
    r.Data.Define(f.Data);
    r.Hora.Define(f.Hora);
    r.Id = f.Id;
    r.EncerranteFinal = 1000 + f.Litros;
    r.CodFid.Define("04A1B2C3D4E5F607");
    return r;
}

// The floor: the same row stored by one bare INSERT and its COMMIT, through the same database
// layer and connection as the program's.
class TInsercaoNua {
public:
    explicit TInsercaoNua(TConexao& conexao) : FConexao(conexao), FInsere(&conexao), FBico(&conexao),
      FParametros(&conexao), FGravado(&conexao), FNaHora(&conexao)
    {
        // The reads a fueling's road makes besides its INSERT, with the engine's own texts.
        FBico.DefineSQL(QStringLiteral(
            "Select Bombas.CodBico, Bombas.CodTanque, Bombas.Descricao DescricaoBico, Bombas.CodConcentrador, "
            "Tanques.CodTanque Grade, Produto.CodProd, Produto.Descricao DescricaoProduto From Bombas "
            "Inner Join Tanques On Tanques.CodTanque = Bombas.CodTanque "
            "Inner Join Produto On Produto.CodProd = Tanques.CodProd Where Bombas.CodConcentrador = :PConcentrador"));
        FParametros.DefineSQL(QStringLiteral(
            "Select SequenciaAbast, AcertaDataConc, PortaConc, ImpreDescBico, UsaConcentrador, CorrigeLitragem, "
            "visualizastatusbomba, TEMPOLECONCENTRADOR From ParaPosto"));
        FGravado.DefineSQL(QStringLiteral(
            "Select Count(*) As Quantos From MvAbast Where ((Id = :PId And Sequencia = :PSequencia And Data = :PData) "
            "Or (Id = :PId And Sequencia = :PAnterior And Data = :PData)) And CodBico = :PCodBico "
            "And Litragem Between :PMinimo And :PMaximo"));
        FNaHora.DefineSQL(QStringLiteral(
            "Select * From MvAbast Where Data = :PData And Hora = :PHora And CodBico = :PCodBico"));
        FInsere.DefineSQL(QStringLiteral(
            "Insert Into MvAbast (Data, Hora, CodBico, Combustivel, Litragem, Valor, CodProd, CodGrade, CodFid, "
            "PrecoUnit, Desconto, Emitido, Id, Sequencia, EncerranteFinal) Values (:PData, :PHora, :PCodBico, "
            ":PCombustivel, :PLitragem, :PValor, :PCodProd, :PCodGrade, :PCodFid, :PPrecoUnit, :PDesconto, "
            ":PEmitido, :PId, :PSequencia, :PEncerranteFinal)"));
    }
    // Stored under a sequence of its own, so it never meets the program's rows.
    // With `comLeituras`, the transaction first makes the four indexed reads the road makes (nozzle,
    // parameters, stored already, time taken): the floor of the road's database work.
    void Grava(const TFuelingGerado& f, bool comTag = false, bool comLeituras = false)
    {
        FConexao.IniciaTransacao();
        if (comLeituras) {
            const QDate data = QDate::fromString(QString::fromLatin1(f.Data), "dd/MM/yyyy");
            FBico.DefineTexto(QStringLiteral("PConcentrador"), QStringLiteral("068"));
            FBico.Abre();
            FParametros.Abre();
            FGravado.DefineInteiro(QStringLiteral("PId"), f.Id);
            FGravado.DefineData(QStringLiteral("PData"), data);
            FGravado.DefineTexto(QStringLiteral("PCodBico"), QStringLiteral("03"));
            FGravado.DefineInteiro(QStringLiteral("PSequencia"), 900000 + FLote);
            FGravado.DefineInteiro(QStringLiteral("PAnterior"), 900000 + FLote - 1);
            FGravado.DefineDouble(QStringLiteral("PMinimo"), f.Litros - 0.0005);
            FGravado.DefineDouble(QStringLiteral("PMaximo"), f.Litros + 0.0005);
            FGravado.Abre();
            FNaHora.DefineTexto(QStringLiteral("PData"), QString::fromLatin1(f.Data).replace('/', '.'));
            FNaHora.DefineTexto(QStringLiteral("PHora"), QString::fromLatin1(f.Hora));
            FNaHora.DefineTexto(QStringLiteral("PCodBico"), QStringLiteral("03"));
            FNaHora.Abre();
        }
        FInsere.DefineData(QStringLiteral("PData"), QDate::fromString(QString::fromLatin1(f.Data), "dd/MM/yyyy"));
        FInsere.DefineTexto(QStringLiteral("PHora"), QString::fromLatin1(f.Hora));
        FInsere.DefineTexto(QStringLiteral("PCodBico"), QStringLiteral("03"));
        FInsere.DefineTexto(QStringLiteral("PCombustivel"), QStringLiteral("ÓLEO DIESEL S-10"));
        FInsere.DefineDouble(QStringLiteral("PLitragem"), f.Litros);
        FInsere.DefineDouble(QStringLiteral("PValor"), f.Total / 10000.0);
        FInsere.DefineTexto(QStringLiteral("PCodProd"), QStringLiteral("02"));
        FInsere.DefineTexto(QStringLiteral("PCodGrade"), QStringLiteral("3"));
        if (comTag)
            FInsere.DefineTexto(QStringLiteral("PCodFid"), QStringLiteral("04A1B2C3D4E5F607"));
        else
            FInsere.DefineNuloTexto(QStringLiteral("PCodFid"));
        FInsere.DefineDouble(QStringLiteral("PPrecoUnit"), f.Preco / 10000.0);
        FInsere.DefineDouble(QStringLiteral("PDesconto"), 0);
        FInsere.DefineTexto(QStringLiteral("PEmitido"), QStringLiteral("N"));
        FInsere.DefineInteiro(QStringLiteral("PId"), f.Id);
        FInsere.DefineInteiro(QStringLiteral("PSequencia"), 900000 + FLote);
        FInsere.DefineDouble(QStringLiteral("PEncerranteFinal"), 1000 + f.Litros);
        FInsere.Executa();
        FConexao.Confirma();
    }
    // Each block of rows gets its own sequence number.
    void NovoLote() { ++FLote; }

private:
    TConexao& FConexao;
    TConsulta FInsere;
    TConsulta FBico;
    TConsulta FParametros;
    TConsulta FGravado;
    TConsulta FNaHora;
    int FLote = 0;
};

} // namespace Bancada
