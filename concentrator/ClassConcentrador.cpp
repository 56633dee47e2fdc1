#include "ClassConcentrador.h"

TConcentrador::TConcentrador() : LeituraEncerrante(RegistroVazio<TEncerrante>()) {}

QString TConcentrador::GetLeStatus() { return {}; }
QString TConcentrador::FGetStStatusBico() { return QStringLiteral("F"); }
void TConcentrador::FBloqueiaBico(const QString&) {}
void TConcentrador::FLiberaBico(const QString&) {}
TVisualizacao TConcentrador::GetLeVisualizacao() { return RegistroVazio<TVisualizacao>(); }
TAbastecimento TConcentrador::GetLeAbastecimento() { return RegistroVazio<TAbastecimento>(); }
TAbastecimentoFid TConcentrador::GetLeAbastecimentoFID() { return RegistroVazio<TAbastecimentoFid>(); }
TEncerrante TConcentrador::ConsultaEncerrante(const QString&) { return RegistroVazio<TEncerrante>(); }
TAbastecimento TConcentrador::FLeRegistro(std::int32_t) { return RegistroVazio<TAbastecimento>(); }
void TConcentrador::LerEncerrante(char, const QString&) {}
void TConcentrador::AlteraPrecoBico(const QString&, std::uint8_t, double) {}
void TConcentrador::PCarregaDllConcentrador() {}
bool TConcentrador::InicializaSerial(std::uint8_t) { return true; }
double TConcentrador::PrecoUnitario(const QString&) { return 0; }
void TConcentrador::FinalizaSerial(TUltimoEntregue) {}
void TConcentrador::AcertaDataHora() {}
