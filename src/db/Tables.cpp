#include "db/Tables.h"

namespace Tables {

namespace {
using K = Kind;
constexpr bool NotNull = true;
} // namespace

std::vector<const char *> Table::columnsOf(Kind kind) const {
    std::vector<const char *> out;
    for (const Column &c : columns)
        if (c.kind == kind)
            out.push_back(c.name);
    return out;
}

const std::vector<Table> &all() {
    // The stored names are the old program's, spaces and accents included: reports and formulas name them.
    static const std::vector<Table> tables = {
        {"Planes",
         "idPlan",
         true,
         true,
         true,
         true,
         {{"idPlan", K::Key},
          {"Descripcion", K::Text, false, Old::Same, "Plan"},
          {"Detalles", K::Text, false, Old::Same, "Detalles del plan"},
          {"CuotaMensual", K::Money, NotNull, Old::Same, "Cuota mensual"},
          {"CantidadCuotas", K::Integer, NotNull, Old::Same, "Cantidad de cuotas"},
          {"Inscripcion", K::Money, NotNull, Old::Same, "Inscripción"},
          {"MesComienzo", K::Text, false, Old::Integer},
          {"MesFinal", K::Text, false, Old::Integer},
          {"ClaveOrden", K::SortKey, false, Old::None}},
         {{"Afiliados", "idPlan"}, {"Cuotas", "idPlan"}}},
        {"Categorias",
         "idCategoria",
         true,
         true,
         true,
         true,
         {{"idCategoria", K::Key}, {"Descripcion", K::Text, false, Old::Same, "Categoría"}},
         {{"Afiliados", "idCategoria"}}},
        {"Afiliados",
         "idAfiliado",
         true,
         true,
         true,
         true,
         {{"idAfiliado", K::Key},
          {"Apellido", K::Text, false, Old::Same, "Apellido"},
          {"Nombres", K::Text, false, Old::Same, "Nombres"},
          {"TipoDocumento", K::Text, false, Old::Same, "Tipo de documento"},
          {"Documento", K::Text, false, Old::Same, "Documento"},
          {"Domicilio", K::Text, false, Old::Same, "Domicilio"},
          {"Barrio", K::Text, false, Old::Same, "Barrio"},
          {"Localidad", K::Text, false, Old::Same, "Localidad"},
          {"Telefono", K::Text, false, Old::Same, "Teléfono"},
          {"Telefono Trabajo", K::Text, false, Old::Same, "Teléfono laboral"},
          {"Fax", K::Text, false, Old::Same, "Fax"},
          {"e-mail", K::Text, false, Old::Same, "E-mail"},
          {"Ocupacion", K::Text, false, Old::Same, "Ocupación"},
          {"Fecha Nacimiento", K::Date, false, Old::Same, "Fecha de nacimiento"},
          {"Fecha Afiliacion", K::Date, false, Old::Same, "Fecha de afiliación"},
          {"idPlan", K::Integer},
          {"idCategoria", K::Integer},
          {"Estado Civil", K::Text, false, Old::Same, "Estado civil"},
          {"Sexo", K::Text, false, Old::Same, "Sexo"},
          {"Afecciones", K::Text, false, Old::Same, "Afecciones"},
          {"Oficio de Riesgo", K::Text, false, Old::YesNo, "Oficio de riesgo"},
          {"ClaveOrden", K::SortKey, false, Old::None}},
         {{"Cuotas", "idAfiliado"}, {"Avisos", "idAfiliado"}}},
        {"Cuotas",
         "idCuota",
         true,
         true,
         true,
         true,
         {{"idCuota", K::Key},
          {"idAfiliado", K::Integer},
          {"idPlan", K::Integer},
          {"Mes", K::Integer, false, Old::Same, "Mes"},
          {"Año", K::Integer, false, Old::Same, "Año"},
          {"Vencimiento", K::Date, false, Old::Same, "Vencimiento"},
          {"Factura", K::Text, false, Old::Same, "Concepto"},
          {"Monto", K::Money, NotNull, Old::Same, "Importe"},
          {"Pagada", K::YesNo, NotNull, Old::Same, "Pagada"},
          {"Fecha de Pago", K::Date, false, Old::Same, "Fecha de pago"},
          {"Recargo", K::Money, false, Old::Same, "Recargo"},
          {"ClaveSocio", K::SortKey, false, Old::None}},
         {{"Caja", "idCuota"}, {"Avisos", "idCuota"}}},
        {"Cuentas",
         "idCuenta",
         true,
         true,
         true,
         true,
         {{"idCuenta", K::Key}, {"Descripcion", K::Text, false, Old::Same, "Cuenta"}},
         {{"Caja", "idCuenta"}}},
        {"TipoDivisas",
         "idTipoDivisa",
         false,
         true,
         true,
         true,
         {{"idTipoDivisa", K::Key}, {"TipoDivisa", K::Text, false, Old::Same, "Forma de pago"}}},
        {"Caja",
         "idCaja",
         true,
         true,
         true,
         true,
         {{"idCaja", K::Key},
          {"Fecha", K::Date, false, Old::Same, "Fecha"},
          {"idCuenta", K::Integer},
          {"Detalles", K::Text, false, Old::Same, "Detalles"},
          {"Ingresos", K::Money, NotNull, Old::Same, "Ingresos"},
          {"Egresos", K::Money, NotNull, Old::Same, "Egresos"},
          {"idTipoDivisa", K::Integer},
          {"idCuota", K::Integer}}},
        {"Usuarios",
         "idUsuario",
         true,
         true,
         true,
         false,
         {{"idUsuario", K::Key},
          {"NombreUsuario", K::Text},
          {"Contrasena", K::Text, false, Old::Secret},
          {"NombreCompleto", K::Text},
          {"EsSupervisor", K::YesNo, NotNull},
          {"EsAdministrativo", K::YesNo, NotNull},
          {"EsDataEntry", K::YesNo, NotNull}}},
        // The amounts list of a plan-wide issuance.
        {"TmpCuotas", "nro", false, true, true, false, {{"nro", K::Key}, {"monto", K::Money, NotNull}}},
        {"Avisos",
         "idAviso",
         true,
         true,
         false,
         false,
         {{"idAviso", K::Key},
          {"idCuota", K::Integer},
          {"idAfiliado", K::Integer},
          {"e-mail", K::Text},
          {"Fecha", K::Date},
          {"Hora", K::Text},
          {"Resultado", K::Integer, NotNull},
          {"CodigoSMTP", K::Integer}}},
        // The activity log: copied with the rest, never imported (the old program kept none); its print-out
        // selects by formula.
        {"RegistroActividad",
         "idRegistro",
         true,
         true,
         false,
         true,
         {{"idRegistro", K::Key},
          {"Fecha", K::Date, NotNull, Old::None, "Fecha"},
          {"Hora", K::Text},
          {"idUsuario", K::Integer},
          {"Usuario", K::Text, false, Old::None, "Usuario"},
          {"Nivel", K::Integer, NotNull},
          {"Puesto", K::Text},
          {"Accion", K::Integer, NotNull},
          {"Objeto", K::Text},
          {"MontoAntes", K::Money},
          {"MontoDespues", K::Money},
          {"Detalle", K::Text}}},
        // Each database's own: a copy does not carry it (the target keeps its identity).
        {"IdentidadBase", nullptr, false, false, false, false, {{"Identidad", K::Text, NotNull}}},
        // Each database's own: the count of names written without their sort keys, the day of the last
        // sound integrity check.
        {"Mantenimiento",
         nullptr,
         false,
         false,
         false,
         false,
         {{"CambiosAjenos", K::Integer, NotNull}, {"UltimaRevision", K::Date}}},
    };
    return tables;
}

const Table *find(const QString &name) {
    for (const Table &t : all())
        if (name == QString::fromUtf8(t.name))
            return &t;
    return nullptr;
}

} // namespace Tables
