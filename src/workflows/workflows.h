#pragma once
// What a front end may call: one workflow per command, each giving an outcome
// with its results and its notes (workflows/notes.h) in the library's words;
// the ones that take long report progress and are cancelled through a
// ProgressCallback. A front end calls one and prints what it gives.
//
//   load     open_scd, open_scd_bytes         workflows/open_scd.h
//   all      all_crcs                         workflows/crc_workflows.h
//   ied      named_crcs                       workflows/crc_workflows.h
//   ccd      named_ccd                        workflows/crc_workflows.h
//   export   prepare_export_directory,        workflows/export_workflow.h
//            export_ieds; export_zip (every    workflows/zipped_export.h
//            CCD as one zip archive)
//   check    read_check_list(_bytes),         workflows/check_workflow.h
//            check_scd (check_listed)
//   verify   verify_files                     workflows/verify_workflow.h
//   diff     diff_scds (diff_listed),         workflows/diff_workflow.h
//            explained_ieds, binding_change_notes, uncovered_lines
//   report   change_report (after diff_scds)  workflows/diff_workflow.h
//   bindings scd_broken_bindings              workflows/crc_workflows.h
//   history  run_history                      history/history_run.h

#include "history/history_run.h"
#include "workflows/check_workflow.h"
#include "workflows/crc_workflows.h"
#include "workflows/diff_workflow.h"
#include "workflows/export_workflow.h"
#include "workflows/notes.h"
#include "workflows/open_scd.h"
#include "workflows/verify_workflow.h"
#include "workflows/zipped_export.h"
