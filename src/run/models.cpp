// Model selection from the options present, the value checks, and the usage
// table that closes every command-line failure.
#include "tarvo.h"

namespace tarvo {

int err_msg(Run& run, int model, const char* letter, int needed) {
  if (needed)
    to_out(run, "\n\nLooks a bit like Model No: %d but also needs option -%s defined\n", model,
           letter);
  else
    to_out(run, "\n\nLooks a bit like Model No: %d but with incompatible option -%s\n", model,
           letter);
  return 0;
}

int check_var(Run& run) {
  const Options& o = run.opt;
  const int file1 = o.i_option[0];
  const int file2 = o.i_option[1];

  int model;
  if (o.p_option) {
    if (file2)
      model = file1 ? 10 : 8;
    else
      model = o.Y_option ? 7 : 9;
  } else if (o.M_option) {
    if (file1 && file2)
      model = 6;
    else if (file1)
      model = o.Y_option ? 3 : 5;
    else
      model = 4;
  } else if (file2) {
    model = 2;
  } else if (file1) {
    model = 1;
  } else {
    to_out(run, "\nNeed to specify a file for reading data.\n");
    to_out(run, "   Please read manual for further information.\n\n");
    return 0;
  }

  int ok = 1;
  auto refuse = [&](int flag, const char* letter) {
    if (flag) ok = err_msg(run, model, letter, 0);
  };
  auto need = [&](int flag, const char* letter) {
    if (!flag) ok = err_msg(run, model, letter, 1);
  };

  switch (model) {
    case 1:
    case 2:
      refuse(o.E_option, "E");
      refuse(o.Y_option, "Y");
      refuse(o.R_option, "R");
      break;
    case 3:
    case 5:
      refuse(o.b_option, "b");
      refuse(o.m_option, "m");
      break;
    case 4:
      need(o.Y_option, "Y");
      refuse(o.b_option, "b");
      refuse(o.m_option, "m");
      break;
    case 6:
      refuse(o.b_option, "b");
      refuse(o.Y_option, "Y");
      break;
    default:  // the create-only models
      refuse(o.b_option, "b");
      refuse(o.c_option, "c");
      refuse(o.e_option, "e");
      refuse(o.j_option, "j");
      refuse(o.m_option, "m");
      refuse(o.n_option, "n");
      refuse(o.s_option, "s");
      refuse(o.w_option, "w");
      refuse(o.z_option, "z");
      if (model == 10) refuse(o.Y_option, "Y");
      need(o.M_option, "M");
      break;
  }
  return ok ? model : 0;
}

int check_arguments(Run& run, const std::string& progname) {
  Options& o = run.opt;
  const char* p = progname.c_str();
  int ok = 1;

  if (!o.i_option[0] && !o.i_option[1]) {
    to_err(run, "%s: Error  No input data file defined in argument list\n", p);
    ok = 0;
  } else if (o.i_option[1] && !o.i_option[0]) {
    if (!o.Y_option) {
      to_err(run,
             "%s: Error option Y must be defined with simulated data using allele frequencies "
             "with -2 option \n",
             p);
      ok = 0;
    }
    if (!o.M_option) {
      to_err(run, "%s: Error option M must be defined when only '-2 FILE' read.\n", p);
      ok = 0;
    }
  }

  if (o.H_option) {
    if (!o.R_option)
      to_err(run,
             "%s: Warning option R not defined (i.e. no recaptures simulated between two "
             "populations)\n",
             p);
    if (o.R_value > o.H_value) {
      to_err(run, "%s: Error option R=%d should be less than H=%d\n", p, o.R_value, o.H_value);
      ok = 0;
    }
    if (o.H_value < 20) {
      to_err(run, "%s: Error option H=%d should be greater or equal to %d\n", p, o.H_value, 20);
      ok = 0;
    }
  }

  if (o.c_option && o.c_value > 10) {
    to_err(run, "%s: Error option c=%d should be less than or equal to %d \n", p, o.c_value, 10);
    ok = 0;
  }
  if (o.b_option && o.b_value > 2) {
    to_err(run, "%s: Error option b=%d (Accepted range is: 0,1 or 2)\n", p, o.b_value);
    ok = 0;
  }
  if (o.e_option && (o.e_value < 1 || o.e_value > 2000)) {
    to_err(run, "%s: Error option e=%6.4f (Accepted range is: 0.0001..%6.4f)\n", p,
           o.e_value / 10000.0, 0.2);
    ok = 0;
  }
  if (o.E_option && (o.E_value < 1 || o.E_value > 2000)) {
    to_err(run, "%s: Error option E=%6.4f (Accepted range is: 0.0001..%6.4f)\n", p,
           o.E_value / 10000.0, 0.2);
    ok = 0;
  }
  if (o.m_option && o.m_value < 3) {
    to_err(run, "%s: Error option m=%d should be greater or equal to %d\n", p, o.m_value, 3);
    ok = 0;
  }
  if (o.n_option && (o.n_value < 100 || o.n_value > MAX_SETS)) {
    to_err(run, "%s: Error option n=%d (Accepted range is: %d..%d)\n", p, o.n_value, 100, MAX_SETS);
    ok = 0;
  }
  if (o.M_option && (o.M_value < 50 || o.M_value > ANIM)) {
    to_err(run, "%s: Error option M=%d (Accepted range is: %d..%d)\n", p, o.M_value, 50, ANIM);
    ok = 0;
  }
  if (o.R_option && o.R_value > o.M_value / 2) {
    to_err(run, "%s: Error option (R=%d) should be less than or equal to (M/2)=%d/2 \n", p,
           o.R_value, o.M_value);
    ok = 0;
  }
  if (o.s_option && (o.s_value < 10 || o.s_value > 10000)) {
    // -s 0 is the quiet way of asking for the default.
    if (o.s_value != 0) {
      to_err(run, "\n%s: Warning option -s=%d (Accepted range is: %d..%d)\n", p, o.s_value, 10,
             10000);
      to_err(run, "%s: Default 's' value is: s=%d \n", p, 100);
      ok = 0;
    }
    o.s_value = 100;
  }
  if (o.Y_option && o.M_option && o.R_option && (o.Y_value < 50 || o.Y_value > 100)) {
    to_err(run, "%s: Error option Y=%4.2f (Accepted range is: %4.2f..%4.2f)\n", p,
           o.Y_value / 100.0, 0.50, 1.00);
    ok = 0;
  }
  if (o.z_value < 0 || (o.z_option && o.z_value > LEVELS - 1)) {
    to_err(run, "%s: Error option z=%d (Accepted range is: 1..%d)\n", p, o.z_value + 1, LEVELS);
    ok = 0;
  }
  return ok;
}

int tarvo_usage(Run& run, const std::string& progname) {
  const std::string under(progname.size(), '_');
  const std::string blank(progname.size(), ' ');
  const std::string rule =
      "_______________________________________________________" + under + "__________________\n";
  const char* p = progname.c_str();

  to_out(run, "%s", rule.c_str());
  to_out(run, "\nModel     Type      Usage                              %sPermitted options\n",
         blank.c_str());
  to_out(run, "%s", rule.c_str());
  to_out(run, "  1       Analyse   %s -1 FILE                           bcdejkmnrswz\n", p);
  to_out(run, "  2       Analyse   %s -1 FILE -2 FILE                   bcdejkmnrswz\n", p);
  to_out(run, "  3       Simulate  %s -1 FILE -M NUM -Y NUM             cdejknrswzEHMRY\n", p);
  to_out(run, "  4       Simulate  %s -2 FILE -M NUM -Y NUM             cdejknrswzEHMRY\n", p);
  to_out(run, "  5       Simulate  %s -1 FILE -M NUM                    cdejknrswzEHMR\n", p);
  to_out(run, "  6       Simulate  %s -1 FILE -2 FILE -M NUM            cdejknrswzEHMR\n", p);
  to_out(run, "  7       Create    %s -1 FILE -M NUM -Y NUM -p          dkprEMHRY\n", p);
  to_out(run, "  8       Create    %s -2 FILE -M NUM -Y NUM -p          dkprEMHRY\n", p);
  to_out(run, "  9       Create    %s -1 FILE -M NUM -p                 dkprEHMR\n", p);
  to_out(run, " 10       Create    %s -1 FILE -2 FILE -M NUM -p         dkprEHMR\n", p);
  to_out(run, "%s", rule.c_str());
  return 1;
}

}  // namespace tarvo
