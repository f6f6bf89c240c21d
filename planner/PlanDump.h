// PlanDump: a compact, deterministic text form of a QueryPlan, so that the
// planner's tests compare whole plans as text.
//
// One block after the other:
//   block N parent P[ DISTINCT| ALL]
//     tables T U                  (names as referenced, FROM order)
//     items T.A U.B               ("items *" for SELECT *)
//     where CHAIN                 (only with a WHERE condition)
//     having CHAIN                (only with a HAVING condition)
//     group "A/B" N               (each group: text and number of predicates)
//     nested N "T" T/A T/B        (each nested entry: block, outer tables, outer references)
// then, when the plan keeps one, "order A B DESC".
// CHAIN shows a rewritten condition: a predicate leaf as {A/B} (the table
// set its result was given), a holder as ( ... ), connectors as AND / OR,
// a negation as NOT followed by its operand.  Every line ends with "\n".
// The dump only reads the plan.
#pragma once

#include <string>

namespace qx {

class QueryPlan;
class SyntaxNode;

std::string DumpPlan(const QueryPlan& plan);
// One rewritten condition chain as it appears after "where".
std::string DumpConditionChain(const SyntaxNode* chain);

}  // namespace qx
