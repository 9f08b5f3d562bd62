#include "SampleNames.h"

namespace {

// Common surnames first and repeated, so that lists show the clusters a real club has (many Gómez, one
// Iñíguez). Spelling as people write them: accents, Ñ, apostrophes and double surnames.
const char *const kSurnames[] = {
    "González",
    "González",
    "Rodríguez",
    "Rodríguez",
    "Gómez",
    "Gómez",
    "Fernández",
    "Fernández",
    "López",
    "López",
    "Díaz",
    "Díaz",
    "Martínez",
    "Martínez",
    "Pérez",
    "Pérez",
    "García",
    "Sánchez",
    "Romero",
    "Sosa",
    "Álvarez",
    "Torres",
    "Ruiz",
    "Ramírez",
    "Flores",
    "Acosta",
    "Benítez",
    "Medina",
    "Suárez",
    "Herrera",
    "Aguirre",
    "Giménez",
    "Gutiérrez",
    "Pereyra",
    "Rojas",
    "Molina",
    "Castro",
    "Ortiz",
    "Silva",
    "Núñez",
    "Luna",
    "Juárez",
    "Cabrera",
    "Ríos",
    "Morales",
    "Godoy",
    "Moreno",
    "Ferreyra",
    "Domínguez",
    "Carrizo",
    "Peralta",
    "Castillo",
    "Ledesma",
    "Quiroga",
    "Vega",
    "Vera",
    "Muñoz",
    "Ojeda",
    "Ponce",
    "Villalba",
    "Cardozo",
    "Navarro",
    "Coronel",
    "Vázquez",
    "Ramos",
    "Arias",
    "Figueroa",
    "Paz",
    "Mendoza",
    "Blanco",
    "Córdoba",
    "Ibáñez",
    "Ordóñez",
    "Castañeda",
    "Zúñiga",
    "Peña",
    "Peñaloza",
    "Cañete",
    "Iñíguez",
    "Ñañez",
    "Montaña",
    "Maldonado",
    "Miranda",
    "Olivera",
    "Bustos",
    "Correa",
    "Chávez",
    "Ávila",
    "Leiva",
    "Lucero",
    "Méndez",
    "Rivero",
    "Barrios",
    "Escobar",
    "Ibarra",
    "Toledo",
    "Valdez",
    "Sotelo",
    "Rossi",
    "Russo",
    "Ferrari",
    "Bianchi",
    "Romano",
    "Colombo",
    "Bruno",
    "Ricci",
    "Marino",
    "Greco",
    "Gallo",
    "Conti",
    "D'Angelo",
    "D'Alessandro",
    "Di Stéfano",
    "Di Marco",
    "Lo Bianco",
    "O'Connor",
    "O'Brien",
    "Mac Donald",
    "Schmidt",
    "Müller",
    "Weber",
    "Kovač",
    "Nowak",
    "Haddad",
    "Nasser",
    "Yamamoto",
    "Goñi",
    "Echeverría",
    "Etcheverry",
    "Iturralde",
    "Larrañaga",
    "Urquiza",
    "Zabaleta",
    "Pérez García",
    "Gómez Acuña",
    "Fernández Oro",
    "López Muñoz",
    "Sáenz Peña",
    "Vélez Sarsfield",
    "de la Fuente",
    "del Valle",
    "de Luca",
    "San Martín",
    "Villafañe",
    "Cortés",
    "Agüero",
    "Argüello",
    "Güemes",
    "Sigüenza",
    "Bermúdez",
    "Jiménez",
    "Ochoa",
    "Quintana",
    "Salinas",
    "Tévez",
    "Yáñez",
    "Zárate",
    "Albornoz",
    "Benavídez",
    "Cáceres",
};

const char *const kMaleNames[] = {
    "Juan",     "José",      "Carlos",   "Luis",     "Jorge",       "Miguel",   "Martín",    "Pablo",
    "Diego",    "Alejandro", "Fernando", "Gustavo",  "Marcelo",     "Sergio",   "Daniel",    "Ricardo",
    "Roberto",  "Héctor",    "Raúl",     "Rubén",    "Ramón",       "Andrés",   "Sebastián", "Nicolás",
    "Matías",   "Tomás",     "Agustín",  "Joaquín",  "Julián",      "Germán",   "Iván",      "Ángel",
    "Facundo",  "Gonzalo",   "Lautaro",  "Santiago", "Mateo",       "Benjamín", "Thiago",    "Valentín",
    "Bautista", "Felipe",    "Ignacio",  "Ezequiel", "Maximiliano", "Nahuel",   "Lucas",     "Franco",
    "Emiliano", "Hernán",    "Rodrigo",  "Cristian", "Leandro",     "Federico", "Esteban",   "Óscar",
    "Néstor",   "Adrián",    "Simón",    "Dante",    "Ciro",        "Máximo",   "Gastón",
};

const char *const kFemaleNames[] = {
    "María",     "Ana",      "Laura",    "Silvia",       "Graciela",  "Susana",   "Liliana",   "Patricia",
    "Claudia",   "Gabriela", "Mónica",   "Verónica",     "Marcela",   "Andrea",   "Romina",    "Carolina",
    "Natalia",   "Paula",    "Lucía",    "Sofía",        "Valentina", "Camila",   "Micaela",   "Florencia",
    "Agustina",  "Josefina", "Milagros", "Rocío",        "Belén",     "Inés",     "Noelia",    "Ayelén",
    "Ailín",     "Emilia",   "Catalina", "Juana",        "Martina",   "Isabella", "Olivia",    "Delfina",
    "Victoria",  "Julieta",  "Mariana",  "Cecilia",      "Soledad",   "Lorena",   "Vanesa",    "Daniela",
    "Alejandra", "Beatriz",  "Norma",    "Stella Maris", "Mirta",     "Nélida",   "Dolores",   "Ángeles",
    "Pilar",     "Luján",    "Rosario",  "Maitén",       "Abril",     "Zoe",      "Guadalupe",
};

// Pergamino is the club's own town; the rest are nearby towns and where people come from.
const SampleNames::Town kTowns[] = {
    {"Pergamino", "2477"},     {"Rojas", "2475"},
    {"Colón", "2473"},         {"Arrecifes", "2478"},
    {"Salto", "2474"},         {"San Nicolás de los Arroyos", "336"},
    {"Junín", "236"},          {"Rosario", "341"},
    {"Venado Tuerto", "3462"}, {"Ciudad Autónoma de Buenos Aires", "11"},
    {"La Plata", "221"},       {"Córdoba", "351"},
    {"Mar del Plata", "223"},  {"Santa Fe", "342"},
    {"Paraná", "343"},         {"Bahía Blanca", "291"},
    {"Neuquén", "299"},        {"San Carlos de Bariloche", "294"},
    {"Río Cuarto", "358"},     {"Tandil", "249"},
    {"Cañuelas", "2226"},      {"Añatuya", "3844"},
    {"Ñorquincó", "2940"},     {"San Miguel de Tucumán", "381"},
    {"Salta", "387"},          {"Mendoza", "261"},
    {"Posadas", "376"},        {"Ushuaia", "2901"},
};

const char *const kStreets[] = {
    "Av. San Martín", "Belgrano",    "Rivadavia",  "Mitre",         "Sarmiento",     "Moreno",
    "Av. Yrigoyen",   "Lavalle",     "9 de Julio", "25 de Mayo",    "Brown",         "Alsina",
    "Güemes",         "Italia",      "España",     "Pueyrredón",    "Dorrego",       "Las Heras",
    "Castelli",       "Saavedra",    "Alberdi",    "Echeverría",    "Urquiza",       "Av. Perón",
    "Colón",          "Entre Ríos",  "Paraná",     "Uruguay",       "Bv. Oroño",     "Pje. Ñandubay",
    "Av. de Mayo",    "Av. Córdoba", "Gral. Paz",  "Laprida",       "Maipú",         "Chacabuco",
    "Tucumán",        "Catamarca",   "Florida",    "Av. Colón",     "Merced",        "Dr. Alem",
    "Av. Rocha",      "Pinto",       "Libertad",   "Independencia", "Bv. Rivadavia", "Pje. Peñaloza",
};

const char *const kSchools[] = {
    "Escuela N° 1 Domingo F. Sarmiento",
    "Escuela N° 7 Manuel Belgrano",
    "Escuela N° 12 José de San Martín",
    "Instituto Nuestra Señora de la Misericordia",
    "Colegio Nacional",
    "Escuela Técnica N° 1",
    "Instituto Comercial Rancagua",
    "Colegio San José",
    "Escuela N° 24 Almirante Brown",
    "Jardín N° 903",
    "E.E.S. N° 3 Juana Azurduy",
    "Colegio Niño Jesús",
};

const char *const kPreviousStudies[] = {
    "Primario completo", "Secundario completo", "Secundario incompleto",
    "Terciario",         "Universitario",       "Universitario incompleto",
};

const char *const kConditions[] = {
    "Asma", "Celiaquía", "Alergia a la penicilina", "Hipertensión", "Diabetes tipo 1", "Apto físico vencido",
};

const char *const kMailProviders[] = {
    "gmail.com",   "gmail.com",   "gmail.com",       "gmail.com",    "gmail.com",     "gmail.com",
    "gmail.com",   "gmail.com",   "hotmail.com",     "hotmail.com",  "hotmail.com",   "yahoo.com.ar",
    "outlook.com", "live.com.ar", "fibertel.com.ar", "arnet.com.ar", "speedy.com.ar",
};

} // namespace

namespace SampleNames {

std::span<const char *const> surnames() {
    return kSurnames;
}
std::span<const char *const> maleNames() {
    return kMaleNames;
}
std::span<const char *const> femaleNames() {
    return kFemaleNames;
}
std::span<const Town> towns() {
    return kTowns;
}
std::span<const char *const> streets() {
    return kStreets;
}
std::span<const char *const> schools() {
    return kSchools;
}
std::span<const char *const> previousStudies() {
    return kPreviousStudies;
}
std::span<const char *const> conditions() {
    return kConditions;
}
std::span<const char *const> mailProviders() {
    return kMailProviders;
}

} // namespace SampleNames
