// Helpers for the files that expand object/entries.def: the C++ name and types of a slot's
// member, and a walk over its parameter tuples (direction, automation type, name).
#pragma once

#include <type_traits>

#define MOLVEX_CAT(a, b) MOLVEX_CAT_(a, b)
#define MOLVEX_CAT_(a, b) a##b
#define MOLVEX_UNPAREN(...) __VA_ARGS__

// The member that implements a slot: Name, get_Name or put_Name.
#define MOLVEX_MEMBER(kind, name) MOLVEX_MEMBER_##kind(name)
#define MOLVEX_MEMBER_Method(name) name
#define MOLVEX_MEMBER_PropGet(name) get_##name
#define MOLVEX_MEMBER_PropPut(name) put_##name

// The C++ type of an automation type.
#define MOLVEX_CPP_Int int
#define MOLVEX_CPP_I4 LONG
#define MOLVEX_CPP_I1 char
#define MOLVEX_CPP_UI1 unsigned char
#define MOLVEX_CPP_R8 double
#define MOLVEX_CPP_Bool VARIANT_BOOL
#define MOLVEX_CPP_Bstr BSTR

// One parameter as it is declared: "int NumPort", "VARIANT_BOOL* Result".
#define MOLVEX_PARAM_DECL(dir, type, name) MOLVEX_PARAM_DECL_##dir(type, name)
#define MOLVEX_PARAM_DECL_In(type, name) MOLVEX_CPP_##type name
#define MOLVEX_PARAM_DECL_Secret(type, name) MOLVEX_CPP_##type name
#define MOLVEX_PARAM_DECL_Out(type, name) std::add_pointer_t<MOLVEX_CPP_##type> name
#define MOLVEX_PARAM_DECL_Ret(type, name) std::add_pointer_t<MOLVEX_CPP_##type> name
#define MOLVEX_PARAM_DECL_InRef(type, name) std::add_pointer_t<MOLVEX_CPP_##type> name

// One parameter as it is passed on: its name.
#define MOLVEX_PARAM_NAME(dir, type, name) name

// m applied to each parameter tuple of `params`, separated by commas (at most ten).
#define MOLVEX_EACH_PARAM(m, params) MOLVEX_EACH(m, MOLVEX_UNPAREN params)
#define MOLVEX_EACH(m, ...) MOLVEX_CAT(MOLVEX_EACH_, MOLVEX_COUNT(__VA_ARGS__))(m, __VA_ARGS__)
#define MOLVEX_COUNT(...) MOLVEX_COUNT_(__VA_ARGS__, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0)
#define MOLVEX_COUNT_(a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, n, ...) n
#define MOLVEX_EACH_1(m, p) m p
#define MOLVEX_EACH_2(m, p, ...) m p, MOLVEX_EACH_1(m, __VA_ARGS__)
#define MOLVEX_EACH_3(m, p, ...) m p, MOLVEX_EACH_2(m, __VA_ARGS__)
#define MOLVEX_EACH_4(m, p, ...) m p, MOLVEX_EACH_3(m, __VA_ARGS__)
#define MOLVEX_EACH_5(m, p, ...) m p, MOLVEX_EACH_4(m, __VA_ARGS__)
#define MOLVEX_EACH_6(m, p, ...) m p, MOLVEX_EACH_5(m, __VA_ARGS__)
#define MOLVEX_EACH_7(m, p, ...) m p, MOLVEX_EACH_6(m, __VA_ARGS__)
#define MOLVEX_EACH_8(m, p, ...) m p, MOLVEX_EACH_7(m, __VA_ARGS__)
#define MOLVEX_EACH_9(m, p, ...) m p, MOLVEX_EACH_8(m, __VA_ARGS__)
#define MOLVEX_EACH_10(m, p, ...) m p, MOLVEX_EACH_9(m, __VA_ARGS__)

// A slot's parameter list as declared and as passed on.
#define MOLVEX_PARAMS_DECL(params) (MOLVEX_EACH_PARAM(MOLVEX_PARAM_DECL, params))
#define MOLVEX_PARAMS_PASS(params) MOLVEX_EACH_PARAM(MOLVEX_PARAM_NAME, params)
